#pragma once

// Whether this machine has the ALSA sequencer at all. Without its device, libasound and RtMidi
// would each print their failure on the standard error stream before it could be caught: noise on
// every run of a JACK-only machine, mailed home by every cron job that runs the command line. So
// the device is looked for before either is asked to open it.
namespace vkv::alsa {

constexpr const char *SequencerDevice = "/dev/snd/seq";

bool sequencerPresent();

} // namespace vkv::alsa
