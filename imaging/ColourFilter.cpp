#include "imaging/ColourFilter.h"

#include "imaging/MatView.h"

#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>

#include <algorithm>
#include <cstdlib>

namespace {

inline uchar limit(int value)
{
    return static_cast<uchar>(std::min(value, 255));
}

// One pixel with the integer forms of the filters (see the header for why they are exact).
inline void filterPixel(int type, int r, int g, int b, uchar *out)
{
    switch (type) {
    case 1:
        out[0] = limit((393 * r + 769 * g + 189 * b) / 1000);
        out[1] = limit((349 * r + 686 * g + 168 * b) / 1000);
        out[2] = limit((272 * r + 534 * g + 131 * b) / 1000);
        break;
    case 2: {
        const int red = std::abs(2 * g - b + r);
        const int blue = std::abs(2 * b - g + r);
        out[0] = limit((red * r) >> 8);
        out[1] = limit((blue * r) >> 8);
        out[2] = limit((blue * g) >> 8);
        break;
    }
    case 3:
        out[0] = limit(r * 255 / (g + b + 1));
        out[1] = limit(g * 255 / (b + r + 1));
        out[2] = limit(b * 255 / (g + r + 1));
        break;
    case 4:
        out[0] = limit((3 * std::abs(r - g - b)) >> 1);
        out[1] = limit((3 * std::abs(g - b - r)) >> 1);
        out[2] = limit((3 * std::abs(b - g - r)) >> 1);
        break;
    default:
        out[0] = out[1] = out[2] = 0;
        break;
    }
}

#if CV_SIMD128

using cv::v_float32x4;
using cv::v_int16x8;
using cv::v_int32x4;
using cv::v_uint16x8;
using cv::v_uint32x4;
using cv::v_uint8x16;

// floor((cr*R + cg*G + cb*B) / 1000) for 8 pixels, as int16 (at most 344).
inline v_int16x8 sepia(const v_uint16x8 &r, const v_uint16x8 &g, const v_uint16x8 &b,
                       unsigned short cr, unsigned short cg, unsigned short cb)
{
    v_uint32x4 r0, r1, g0, g1, b0, b1;
    cv::v_mul_expand(r, cv::v_setall_u16(cr), r0, r1);
    cv::v_mul_expand(g, cv::v_setall_u16(cg), g0, g1);
    cv::v_mul_expand(b, cv::v_setall_u16(cb), b0, b1);
    // The sums are below 2^24, so they are exact in float, and a correctly rounded division
    // by 1000 truncates to the integer quotient (the quotient is below 345, where the float
    // spacing is far finer than the 0.001 a non-integer quotient keeps from an integer).
    const v_float32x4 thousand = cv::v_setall_f32(1000.f);
    const v_int32x4 q0 =
        cv::v_trunc(cv::v_cvt_f32(cv::v_reinterpret_as_s32(r0 + g0 + b0)) / thousand);
    const v_int32x4 q1 =
        cv::v_trunc(cv::v_cvt_f32(cv::v_reinterpret_as_s32(r1 + g1 + b1)) / thousand);
    return cv::v_pack(q0, q1);
}

// (a * c) >> 8 for a <= 765, c <= 255 (the product is below 2^18).
inline v_int16x8 mulShift8(const v_uint16x8 &a, const v_uint16x8 &c)
{
    const v_uint16x8 high = cv::v_mul_hi(a, c);
    const v_uint16x8 low = cv::v_mul_wrap(a, c);
    return cv::v_reinterpret_as_s16((high << 8) | (low >> 8));
}

// num * 255 / (d1 + d2 + 1) in float, truncated, for 8 pixels.
inline v_int16x8 cast(const v_uint16x8 &num, const v_uint16x8 &d1, const v_uint16x8 &d2)
{
    v_uint32x4 n0, n1, s0, s1;
    cv::v_expand(num, n0, n1);
    cv::v_expand(d1 + d2 + cv::v_setall_u16(1), s0, s1);
    const v_float32x4 k255 = cv::v_setall_f32(255.f);
    const v_int32x4 q0 = cv::v_trunc(cv::v_cvt_f32(cv::v_reinterpret_as_s32(n0)) * k255 /
                                     cv::v_cvt_f32(cv::v_reinterpret_as_s32(s0)));
    const v_int32x4 q1 = cv::v_trunc(cv::v_cvt_f32(cv::v_reinterpret_as_s32(n1)) * k255 /
                                     cv::v_cvt_f32(cv::v_reinterpret_as_s32(s1)));
    return cv::v_pack(q0, q1); // saturates at 32767; the final pack limits to 255
}

// (3 * abs(a - s)) >> 1 for a <= 255, s <= 510.
inline v_int16x8 frozen(const v_uint16x8 &a, const v_uint16x8 &s)
{
    const v_uint16x8 d = cv::v_absdiff(a, s);
    return cv::v_reinterpret_as_s16((d + d + d) >> 1);
}

// New red, green, blue of 8 pixels as int16 (not yet limited to 255).
inline void filter8(int type, const v_uint16x8 &r, const v_uint16x8 &g, const v_uint16x8 &b,
                    v_int16x8 &nr, v_int16x8 &ng, v_int16x8 &nb)
{
    switch (type) {
    case 1:
        nr = sepia(r, g, b, 393, 769, 189);
        ng = sepia(r, g, b, 349, 686, 168);
        nb = sepia(r, g, b, 272, 534, 131);
        break;
    case 2: {
        const v_uint16x8 red = cv::v_absdiff(g + g + r, b);  // abs(2G - B + R)
        const v_uint16x8 blue = cv::v_absdiff(b + b + r, g); // abs(2B - G + R)
        nr = mulShift8(red, r);
        ng = mulShift8(blue, r);
        nb = mulShift8(blue, g);
        break;
    }
    case 3:
        nr = cast(r, g, b);
        ng = cast(g, b, r);
        nb = cast(b, g, r);
        break;
    default: // 4
        nr = frozen(r, g + b);
        ng = frozen(g, b + r);
        nb = frozen(b, g + r);
        break;
    }
}

inline void filter16(int type, const v_uint8x16 &r, const v_uint8x16 &g, const v_uint8x16 &b,
                     uchar *dst)
{
    v_uint16x8 r0, r1, g0, g1, b0, b1;
    cv::v_expand(r, r0, r1);
    cv::v_expand(g, g0, g1);
    cv::v_expand(b, b0, b1);
    v_int16x8 nr0, ng0, nb0, nr1, ng1, nb1;
    filter8(type, r0, g0, b0, nr0, ng0, nb0);
    filter8(type, r1, g1, b1, nr1, ng1, nb1);
    cv::v_store_interleave(dst, cv::v_pack_u(nr0, nr1), cv::v_pack_u(ng0, ng1),
                           cv::v_pack_u(nb0, nb1));
}

#endif // CV_SIMD128

void filterRow(int type, MatView::Order order, const uchar *src, uchar *dst, int width)
{
    int x = 0;
#if CV_SIMD128
    constexpr int lanes = 16;
    if (order == MatView::Rgb) {
        for (; x + lanes <= width; x += lanes) {
            v_uint8x16 r, g, b;
            cv::v_load_deinterleave(src + 3 * x, r, g, b);
            filter16(type, r, g, b, dst + 3 * x);
        }
    } else {
        for (; x + lanes <= width; x += lanes) {
            v_uint8x16 r, g, b, a;
            cv::v_load_deinterleave(src + 4 * x, b, g, r, a);
            filter16(type, r, g, b, dst + 3 * x);
        }
    }
#endif
    const int step = order == MatView::Rgb ? 3 : 4;
    const int ri = order == MatView::Rgb ? 0 : 2;
    const int bi = 2 - ri;
    for (; x < width; ++x) {
        const uchar *p = src + step * x;
        filterPixel(type, p[ri], p[1], p[bi], dst + 3 * x);
    }
}

} // namespace

void ColourFilter::apply(const MatView &view, int type, cv::Mat &out)
{
    const int width = view.cols();
    if (type < 1 || type > 4) {
        out.setTo(cv::Scalar::all(0));
        return;
    }
    const cv::Mat &src = view.mat();
    const MatView::Order order = view.order();
    cv::parallel_for_(cv::Range(0, src.rows), [&](const cv::Range &rows) {
        for (int y = rows.start; y < rows.end; ++y)
            filterRow(type, order, src.ptr<uchar>(y), out.ptr<uchar>(y), width);
    });
}
