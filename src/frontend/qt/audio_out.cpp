#include "frontend/qt/audio_out.h"

#include "machine/loop.h"
#include "machine/sound.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>

#include <cstdio>
#include <memory>

namespace {

// A slice brings 60 ms at once, as soon as it has run, ahead of the real time it stands for;
// they wait here and go to the device as it takes them. The device's buffer bounds the delay;
// what waits here beyond a slice and a half is dropped, should the device's clock run slow.
constexpr int BUFFER_MS = 60, MOST_WAITING_MS = 90;

std::unique_ptr<QAudioSink> sink;
QIODevice* stream;
std::string problem;
uint32_t volume_set = UINT32_MAX;
QByteArray waiting;

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
    waiting.clear();
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
    if (SoundEnable && SpeedPos == 100 && !warp() && !DEnable)  // debugger slices are short and far apart
        waiting.append(reinterpret_cast<const char*>(sound_samples.data()), qsizetype(sound_samples.size() * 2));
    else
        waiting.clear();
    sound_samples.clear();
    if (waiting.size() > bytes_of(MOST_WAITING_MS))
        waiting.remove(0, waiting.size() - bytes_of(MOST_WAITING_MS));
    qsizetype n = std::min(sink->bytesFree(), waiting.size()) & ~qsizetype(1);
    if (n > 0)
        waiting.remove(0, stream->write(waiting.constData(), n));
}
