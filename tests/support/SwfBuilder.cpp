#include "support/SwfBuilder.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace kelvora::test {

Bytes SwfTag(uint16_t code, const Bytes& body, bool longHeader) {
    ByteWriter w;
    if (longHeader || body.size() >= 0x3F) {
        w.U16((uint32_t{code} << 6) | 0x3F).U32(static_cast<uint32_t>(body.size()));
    } else {
        w.U16((uint32_t{code} << 6) | static_cast<uint32_t>(body.size()));
    }
    w.Append(body);
    return w.take();
}

Bytes SwfEndTag() {
    return SwfTag(0, {});
}

Bytes DefineSprite(uint16_t id, uint16_t frames, const Bytes& tags, bool withEnd) {
    ByteWriter body;
    body.U16(id).U16(frames).Append(tags);
    if (withEnd) {
        body.Append(SwfEndTag());
    }
    return SwfTag(39, body.bytes());
}

uint8_t SoundFlags(unsigned format, unsigned rateIndex, bool is16Bit, bool isStereo) {
    return static_cast<uint8_t>(((format & 0xF) << 4) | ((rateIndex & 3) << 2) | (is16Bit ? 2 : 0) |
                                (isStereo ? 1 : 0));
}

Bytes DefineSound(uint16_t id, unsigned format, unsigned rateIndex, bool is16Bit, bool isStereo,
                  uint32_t sampleCount, const Bytes& data, int16_t mp3Seek) {
    ByteWriter body;
    body.U16(id).U8(SoundFlags(format, rateIndex, is16Bit, isStereo)).U32(sampleCount);
    if (format == 2) {
        body.U16(static_cast<uint16_t>(mp3Seek));
    }
    body.Append(data);
    return SwfTag(14, body.bytes());
}

Bytes SoundStreamHead(unsigned format, unsigned rateIndex, bool is16Bit, bool isStereo,
                      uint16_t samplesPerBlock, bool head2) {
    ByteWriter body;
    const uint8_t flags = SoundFlags(format, rateIndex, is16Bit, isStereo);
    body.U8(flags & 0x0F).U8(flags).U16(samplesPerBlock);
    if (format == 2) {
        body.U16(0);  // latency seek
    }
    return SwfTag(head2 ? 45 : 18, body.bytes());
}

Bytes SoundStreamBlock(const Bytes& data) {
    return SwfTag(19, data);
}

Bytes PcmStream(const Bytes& pcm) {
    ByteWriter stream;
    const uint16_t spb = 44100 / 12;
    const size_t blockBytes = spb * 4u;
    stream.Append(SoundStreamHead(3, 3, true, true, spb));
    for (size_t at = 0; at + blockBytes <= pcm.size(); at += blockBytes) {
        stream.Append(SoundStreamBlock(Bytes(pcm.begin() + static_cast<long>(at),
                                             pcm.begin() + static_cast<long>(at + blockBytes))));
    }
    return stream.take();
}

Bytes Mp3StreamBlock(uint16_t sampleCount, int16_t seek, const Bytes& frames) {
    ByteWriter body;
    body.U16(sampleCount).U16(static_cast<uint16_t>(seek)).Append(frames);
    return SwfTag(19, body.bytes());
}

Bytes SwfRect(int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax) {
    unsigned nbits = 1;
    for (int32_t v : {xMin, xMax, yMin, yMax}) {
        unsigned need = 1;
        while (need < 31 && (v < -(int64_t{1} << (need - 1)) || v >= (int64_t{1} << (need - 1)))) {
            ++need;
        }
        nbits = std::max(nbits, need);
    }
    BitWriter w;
    w.Bits(nbits, 5)
        .SignedBits(xMin, nbits)
        .SignedBits(xMax, nbits)
        .SignedBits(yMin, nbits)
        .SignedBits(yMax, nbits);
    return w.Finish();
}

Bytes Deflate(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) {
        throw std::runtime_error("compress2 failed");
    }
    out.resize(size);
    return out;
}

Bytes LinkageTag(uint16_t code, const std::vector<std::pair<uint16_t, std::string>>& names) {
    ByteWriter body;
    body.U16(static_cast<uint16_t>(names.size()));
    for (const auto& [id, name] : names) {
        body.U16(id).Append(Bytes(name.begin(), name.end())).U8(0);
    }
    return SwfTag(code, body.bytes());
}

Bytes ShowFrame() {
    return SwfTag(1, {});
}

Bytes LzmaBody(const Bytes& data) {
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 1);
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    uint8_t properties[5] = {};
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_properties_encode(&filters[0], properties) != LZMA_OK ||
        lzma_raw_encoder(&stream, filters) != LZMA_OK) {
        throw std::runtime_error("LZMA encoder refused");
    }
    Bytes packed(data.size() + data.size() / 2 + 1024);
    stream.next_in = data.data();
    stream.avail_in = data.size();
    stream.next_out = packed.data();
    stream.avail_out = packed.size();
    const lzma_ret rc = lzma_code(&stream, LZMA_FINISH);
    packed.resize(packed.size() - stream.avail_out);
    lzma_end(&stream);
    if (rc != LZMA_STREAM_END) {
        throw std::runtime_error("LZMA encoding failed");
    }
    ByteWriter body;
    body.U32(static_cast<uint32_t>(packed.size())).Append(Bytes(properties, properties + 5));
    body.Append(packed);
    return body.take();
}

Bytes ToZws(const Bytes& swf) {
    if (swf.size() < 8) {
        return swf;
    }
    Bytes body(swf.begin() + 8, swf.end());
    if (swf[0] == 'C') {
        const uLongf length = swf[4] | (swf[5] << 8) | (swf[6] << 16) | (uLongf{swf[7]} << 24);
        uLongf got = length > 8 ? length - 8 : 0;
        Bytes plain(got);
        uncompress(plain.data(), &got, body.data(), static_cast<uLong>(body.size()));
        plain.resize(got);
        body = plain;
    }
    Bytes out(swf.begin(), swf.begin() + 8);
    out[0] = 'Z';
    const Bytes packed = LzmaBody(body);
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}

Bytes BuildSwf(const SwfMovie& movie) {
    ByteWriter body;
    body.Append(SwfRect(movie.xMin, movie.xMax, movie.yMin, movie.yMax))
        .U16(movie.frameRate88)
        .U16(movie.frameCount)
        .Append(movie.tags);
    const Bytes& b = body.bytes();
    const uint32_t length = movie.lengthOverride >= 0 ? static_cast<uint32_t>(movie.lengthOverride)
                                                      : static_cast<uint32_t>(8 + b.size());
    ByteWriter file;
    const char signature = !movie.compressed ? 'F' : movie.lzma ? 'Z' : 'C';
    file.U8(static_cast<uint8_t>(signature)).U8('W').U8('S').U8(movie.version).U32(length);
    file.Append(!movie.compressed ? b : movie.lzma ? LzmaBody(b) : Deflate(b));
    return file.take();
}

}  // namespace kelvora::test
