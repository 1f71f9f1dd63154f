// The working rows of the calculate step, kept from one frame to the next.
//
// A frame of 16 slots at oversampling 30 passes through about 35 MB of rows
// (the chip-rate frame and its spread copy, the filtered waveform and two
// marker rows of 983 040 samples each); longer frames in proportion. Made afresh for every frame, that memory
// comes from the system each time and is faulted in page by page, which
// costs more than the signal processing itself. A host that calculates
// again and again (the desktop, a C host, a scripting host) keeps one
// FrameWorkspace and calculates into it: after the first frame of a given
// size no large row is allocated, cleared or faulted in again.
//
//     FrameWorkspace workspace;                    // e.g. a member of a long-lived object
//     const FrameResult& frame = calculateFrame(config, workspace);  // onex/frame_config.hpp
//
// Results are bit for bit those of the one-shot calculateFrame(config) and
// fwdChnFrame(inputs), whatever the workspace was used for before.
//
// Lifetime: the result lives in the workspace. The reference the calculate
// functions return (and result()) stays valid, with unchanged contents,
// until the next calculation into the same workspace, takeResult(),
// release(), or the workspace's destruction or move. Copy the result (or
// take it) to keep it longer.
//
// Failures: a configuration that is refused (Error for an out-of-range
// oversampling ratio, data source, data format, PN offset or too few data
// bits) is refused before the result rows are touched, so the previous
// result stays as it was. A failure after that point (running out of
// memory) leaves the result rows empty.
//
// Threads: a workspace serves one calculation at a time and is not locked;
// give each thread its own. The filter designs and FFT plans that
// calculations share are guarded, but idle slots draw their noise from the
// one process-wide generator (numerics/noise), so calculations with noisy
// idle slots must not run on two threads at the same time.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

#include "onex/frame_builder.hpp"

namespace tolvane {

struct FrameConfig;

class FrameWorkspace {
public:
    FrameWorkspace() = default;
    FrameWorkspace(const FrameWorkspace&) = delete;
    FrameWorkspace& operator=(const FrameWorkspace&) = delete;
    FrameWorkspace(FrameWorkspace&&) noexcept = default;
    FrameWorkspace& operator=(FrameWorkspace&&) noexcept = default;
    ~FrameWorkspace() = default;

    // The last frame calculated here; empty rows before the first one.
    const FrameResult& result() const { return result_; }

    // Moves the last frame out. The result rows are empty afterwards, and the
    // next calculation allocates them again (the other rows are kept).
    FrameResult takeResult();

    // Gives every row's memory back; the next calculation starts as a fresh
    // workspace does.
    void release();

    // Bytes the rows hold (their capacity), for hosts that watch memory.
    std::size_t capacityBytes() const;

private:
    friend const FrameResult& fwdChnFrame(const FrameInputs& in, FrameWorkspace& workspace);
    friend const FrameResult& calculateFrame(const FrameConfig& config, FrameWorkspace& workspace);

    FrameInputs inputs_;                                    // the configuration mapped, with its data bits
    ChipFrame chips_;                                       // the chip-rate frame and markers
    std::vector<std::complex<double>> spread_;              // the frame after quadrature spreading
    std::vector<std::complex<double>> filterScratch_;       // the polyphase filter's extended chip row
    std::vector<std::complex<double>> equaliserScratch_;    // the stored-FIR equaliser's output row
    FrameResult result_;
};

// The frame builder into `workspace`; the inputs as for fwdChnFrame(in)
// (onex/frame_builder.hpp), with the same errors. `in` may be any record,
// including one the caller keeps from call to call.
const FrameResult& fwdChnFrame(const FrameInputs& in, FrameWorkspace& workspace);

}  // namespace tolvane
