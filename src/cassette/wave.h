// Cassette recordings: WAV checking, conversion to the decoder's sample stream, and the
// call of the KCS decoder.
#pragma once
#include "cassette/wav_reader.h"

#include <cstdint>
#include <cstdio>
#include <string>

extern std::string error;       // why the last WAV file was refused
extern WavLayout wave_layout;   // of the file Get_wav accepted
extern std::FILE* Tempfile;
extern std::string KCSfile;

// Decoding parameters, kept for the life of the program.
extern int Baud;                // 0 = 300, 1 = 600, 2 = 1200 baud
extern int SPARITY, SBITS, SSTOP;
extern int Foffset;             // -64 to 64
extern int Hysteresis;          // 0 to 16

int Get_wav();
void ConvertWave();
// The decoder's options, e.g. "-X -R -E -D -S -F00 -H03".
std::string kcs_options();
// Menu command 123: choose a WAV file, convert it and have it decoded.
void KCSConvert();
