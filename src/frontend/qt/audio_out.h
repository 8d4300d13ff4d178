// The window's sound: the DAC's samples up to the current cycle go to the audio device while
// the machine runs at its real speed, and are dropped at any other, so that the pitch is right
// or there is silence. The machine's pace never waits for the device.
#pragma once
#include <string>

class QAudioDevice;

// Plays on `device`; without one the machine runs silent and says so, once.
void audio_open(const QAudioDevice& device);
void audio_close();
// Why there is no sound; "" while a device plays it.
const std::string& audio_problem();
// The samples of the cycles run since the last call join those waiting, which go to the device
// as far as its buffer takes them; called between time slices and while they wait for real time.
void audio_feed();
