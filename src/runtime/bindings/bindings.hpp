// Registration of every library function by name, one function per family.
// Each family's adapters live in their own file beside this header.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

class Library;
class Registry;

void registerAllFunctions(Library& lib);

void registerBitSource(Registry& reg);          // GenerateBitStream, PNgenerator, lfsr, extendVector
void registerPilotIdle(Registry& reg);          // OneX_FwdPilot, OneX_FwdIdleSlot
void registerModulator(Registry& reg);          // OneX_FwdTrfModulator, OneX_IQmap, OneX_SignalMap
void registerWalsh(Registry& reg);              // repetition, demux, Walsh cover, gain, summer
void registerMacChannel(Registry& reg);         // OneX_FwdMACslot
void registerSpreading(Registry& reg);          // OneX_FwdQuadSpreading, PN sequences, circular shifts
void registerTrafficChannel(Registry& reg);     // OneX_FwdTrfChn, OneX_FwdTrfChnModParams, OneX_FwdEncoder
void registerTurbo(Registry& reg);              // OneX_TurboCoder and its parts, reverseBits
void registerScrambler(Registry& reg);          // OneX_FwdScrambler
void registerChannelInterleaver(Registry& reg); // OneX_FwdChannelInterleaver, OneX_FwdSymbolPermuter
void registerBasebandFilter(Registry& reg);     // upsample, filters, OneX_BasebandFilter, circfilt
void registerPhaseEqualiser(Registry& reg);     // OneX_FwdPhaseEq, eqlrfilt, createRealFIR
void registerFrameBuilder(Registry& reg);       // OneX_FwdChnFrame
void registerNumerics(Registry& reg);           // interp, bilinear, freq2fir, wgn
void registerInstrument(Registry& reg);         // hwIO and the I/O operations, download and play, corrections

// The turbo coder at a rate given as a number, as OneX_TurboCoder and
// OneX_FwdEncoder run it: rate 1 returns the input; any other rate needs
// 129 .. 4096 input bits (Error naming `inputName` otherwise), and a rate
// that is none of 1/2, 1/3, 1/4, 1/5 codes nothing: an empty result.
std::vector<double> turboCodeByName(const std::vector<double>& input, double rate, const std::string& inputName);

}  // namespace tolvane
