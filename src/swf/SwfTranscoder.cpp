// The target pass of a movie's conversion: every element brought to the batch's format.
#include "audio/TranscodeMp3ToWav.h"
#include "audio/TranscodeWavToMp3.h"
#include "audio/WavFile.h"
#include "engine/File.h"
#include "swf/CSwfReader.h"

namespace kelvora {

void TranscodeSwfElements(std::vector<SwfElement>& elements, bool toMp3, COutputNames& names,
                          ConversionReport& report) {
    for (SwfElement& element : elements) {
        OutputItem& item = element.item;
        if ((item.isMp3 != 0) == toMp3) {
            continue;
        }
        const std::string target = names.Renamed(item.path, toMp3 ? ".mp3" : ".wav");
        if (target.empty()) {
            report.Lose(Failure::NoWritableFolder);
            continue;
        }
        Failure why = Failure::None;
        if (toMp3) {
            uint32_t frames = 0;
            uint32_t rate = 0;
            if (!TranscodeWavToMp3(item.path, target, &frames, &rate, &why,
                                   names.TakeFile(target))) {
                report.Lose(why);
                RemoveFile(target);
                continue;
            }
            item.sampleRate = rate;
            item.sampleCount = frames;
        } else {
            CWavReader wav;
            if (!TranscodeMp3ToWav(item.path, target, &why,
                                   element.shaped ? &element.shape : nullptr,
                                   names.TakeFile(target)) ||
                !wav.Open(target)) {
                report.Lose(why == Failure::None ? Failure::WriteFailed : why);
                RemoveFile(target);
                continue;
            }
            // What the decoder gave, as the file holds it.
            item.sampleRate = wav.SampleRate();
            item.channels = wav.Channels();
            item.bitsPerSample = 16;
            item.sampleCount = wav.FrameCount();
        }
        RemoveFile(item.path);
        item.path = target;
        item.isMp3 = toMp3 ? 1 : 0;
    }
}

}  // namespace kelvora
