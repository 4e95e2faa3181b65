// The three audio callbacks. Each renders under the instance lock, in pieces of
// at most the scratch size, so a host that passes more frames than the block
// size it announced is served without writing past our buffers.

#include <algorithm>
#include <cmath>
#include <limits>

#include "plugin/IPlugVST.h"

namespace halvane {

using namespace vst;

namespace {

void ToDouble(const float* in, double* out, int n) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        out[i] = static_cast<double>(in[i]);
        out[i + 1] = static_cast<double>(in[i + 1]);
        out[i + 2] = static_cast<double>(in[i + 2]);
        out[i + 3] = static_cast<double>(in[i + 3]);
    }
    for (; i < n; ++i)
        out[i] = static_cast<double>(in[i]);
}

// A decaying tail passes through the float subnormals on its way to silence;
// many hosts, and the plug-ins after ours, slow down sharply on them, so they
// leave here as 0. Branch-free, so the loop stays vectorised. The double path
// keeps every value.
inline float FlushSubnormal(float f) {
    return std::fabs(f) < std::numeric_limits<float>::min() ? 0.0f : f;
}

template <bool Add> void ToFloat(const double* in, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        const float f = FlushSubnormal(static_cast<float>(in[i]));
        if (Add)
            out[i] += f;
        else
            out[i] = f;
    }
}

// Connected channels take the host's buffers in order, one each; a null array
// or a null buffer gives null.
template <typename T, typename Fn>
void ForConnected(std::vector<IPlugBase::Channel>& channels, T** host, Fn&& fn) {
    int next = 0;
    for (IPlugBase::Channel& c : channels) {
        if (!c.connected)
            continue;
        fn(c, host ? host[next] : nullptr);
        ++next;
    }
}

} // namespace

void IPlugVST::ProcessSingle(float** inputs, float** outputs, int frames, Accumulate mode) {
    ScopedLock hold(Lock());
    if (TakesMidi())
        CallHost(audioMasterWantMidi, 0, 1);
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, ScratchFrames());
        ForConnected(inChannels_, inputs, [&](Channel& c, const float* src) {
            if (src)
                ToDouble(src + done, c.scratch.data(), n);
            else
                std::fill(c.scratch.begin(), c.scratch.begin() + n, 0.0);
            *c.slot = c.scratch.data();
        });
        ForConnected(outChannels_, outputs, [&](Channel& c, float* dst) {
            c.hostOutput = dst ? dst + done : nullptr;
            *c.slot = c.scratch.data();
        });
        RenderBlock(inPtrs_.empty() ? nullptr : inPtrs_.data(), outPtrs_.data(), n);
        for (Channel& c : outChannels_) {
            if (!c.connected || !c.hostOutput)
                continue;
            if (mode == Accumulate::kAdd)
                ToFloat<true>(c.scratch.data(), c.hostOutput, n);
            else
                ToFloat<false>(c.scratch.data(), c.hostOutput, n);
            c.hostOutput = nullptr;
        }
        done += n;
    }
}

void IPlugVST::ProcessDouble(double** inputs, double** outputs, int frames) {
    ScopedLock hold(Lock());
    if (TakesMidi())
        CallHost(audioMasterWantMidi, 0, 1);
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, ScratchFrames());
        ForConnected(inChannels_, inputs, [&](Channel& c, double* src) {
            if (!src)
                std::fill(c.scratch.begin(), c.scratch.begin() + n, 0.0);
            *c.slot = src ? src + done : c.scratch.data();
        });
        // Disconnected outputs keep their slot on their own scratch buffer.
        ForConnected(outChannels_, outputs, [&](Channel& c, double* dst) {
            *c.slot = dst ? dst + done : c.scratch.data();
        });
        RenderBlock(inPtrs_.empty() ? nullptr : inPtrs_.data(), outPtrs_.data(), n);
        done += n;
    }
}

} // namespace halvane
