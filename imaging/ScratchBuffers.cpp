#include "imaging/ScratchBuffers.h"

#include <new>

cv::Mat ScratchBuffers::get(int slot, int rows, int cols, int type)
{
    thread_local cv::Mat buffers[SlotCount];
    if (slot < 0 || slot >= SlotCount || rows <= 0 || cols <= 0)
        return cv::Mat();
    cv::Mat &buffer = buffers[slot];
    const size_t bytes = size_t(rows) * size_t(cols) * CV_ELEM_SIZE(type);
    if (buffer.total() < bytes) {
        buffer.release();
        constexpr size_t row = 4096; // kept as rows of 4 KiB so any page size fits an int
        try {
            buffer.create(int((bytes + row - 1) / row), int(row), CV_8UC1);
        } catch (const cv::Exception &) {
            return cv::Mat();
        } catch (const std::bad_alloc &) {
            return cv::Mat();
        }
    }
    return cv::Mat(rows, cols, type, buffer.data);
}
