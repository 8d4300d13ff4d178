#include "frontend/qt/audio_out.h"

#include "machine/loop.h"
#include "machine/sound.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>

#include <cstdio>
#include <memory>

namespace {

// A slice brings 60 ms at once: the buffer holds two of them at most, and a drained one
// gets a cushion of silence first, so that the next slice arrives before it runs out.
constexpr int BUFFER_MS = 120, CUSHION_MS = 30;

std::unique_ptr<QAudioSink> sink;
QIODevice* stream;
std::string problem;
uint32_t volume_set = UINT32_MAX;

qsizetype bytes_of(int ms) { return qsizetype(sink->format().bytesForDuration(ms * 1000)); }

void fail(const std::string& why)
{
    audio_close();
    if (problem.empty())
        std::fprintf(stderr, "quarzel: %s; the machine runs silent\n", why.c_str());
    problem = why;
}

} // namespace

void audio_open(const QAudioDevice& device)
{
    audio_close();
    if (device.isNull())
        return fail("no audio output device");
    QAudioFormat format;
    format.setSampleRate(device.preferredFormat().sampleRate() == 44100 ? 44100 : 48000);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return fail("the audio device plays no 16-bit mono sound");
    sink = std::make_unique<QAudioSink>(device, format);
    sink->setBufferSize(bytes_of(BUFFER_MS));
    stream = sink->start();
    if (!stream)
        return fail("the audio device cannot be opened");
    problem.clear();
    volume_set = UINT32_MAX;
    sound_start(uint32_t(format.sampleRate()));
}

void audio_close()
{
    sound_start(0);
    if (sink)
        sink->stop();
    sink.reset();
    stream = nullptr;
}

const std::string& audio_problem() { return problem; }

void audio_feed()
{
    if (!sink)
        return;
    sound_render(cycle_now());
    if (SoundVolume != volume_set) {
        volume_set = SoundVolume;
        sink->setVolume(SoundVolume / 100.0);
    }
    if (SoundEnable && SpeedPos == 100 && !warp() && !sound_samples.empty()) {
        if (sink->bytesFree() >= sink->bufferSize()) {
            QByteArray silence(bytes_of(CUSHION_MS), 0);
            stream->write(silence);
        }
        qsizetype n = std::min<qsizetype>(sink->bytesFree(), qsizetype(sound_samples.size() * 2));
        stream->write(reinterpret_cast<const char*>(sound_samples.data()), n & ~qsizetype(1));
    }
    sound_samples.clear();
}
