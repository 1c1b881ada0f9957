#pragma once

#include <opencv2/core.hpp>

// Reusable working memory for the page corrections. A 300 dpi page needs tens of megabytes of
// intermediate pixels per operation; memory fresh from the system costs a page fault per 4 KiB,
// which for such pages takes as long as the arithmetic. Each thread keeps one growing buffer
// per slot; the collector thread's buffers go away when it ends with its scan.
class ScratchBuffers
{
public:
    enum Slot
    {
        ChainA,
        ChainB,
        Grey,
        Work,
        Mask,
        Band0, // Band0 + i for band i, up to MaxBands
        SlotCount = Band0 + 8
    };
    static constexpr int MaxBands = 8;

    // A continuous matrix of the given shape on the calling thread's buffer `slot`. Its
    // content is undefined; it stays valid until the same slot is asked for again on this
    // thread. An empty matrix when the memory cannot be had.
    static cv::Mat get(int slot, int rows, int cols, int type);
};
