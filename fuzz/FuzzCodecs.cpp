// Sound of the libavcodec formats with the every-format option, packet by packet. The input is
// a list of packets, each an audio flags byte (format, rate, size, type), a 16-bit big-endian
// length and that many bytes (an AAC packet starts with its packet type). The packets go through
// a video's track, one audio tag each, and through a movie: all of them as one event sound in
// the first packet's format, and each as a block of a sound stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Packet {
    uint8_t flags;
    const uint8_t* data;
    size_t size;
};

void Be(Bytes& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void Le(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

Bytes Video(const std::vector<Packet>& packets) {
    Bytes flv = {'F', 'L', 'V', 1, 4, 0, 0, 0, 9, 0, 0, 0, 0};
    for (const Packet& p : packets) {
        flv.push_back(8);
        Be(flv, static_cast<uint32_t>(p.size + 1), 3);
        flv.insert(flv.end(), 7, 0);  // timestamp, its extension and the stream id
        flv.push_back(p.flags);
        flv.insert(flv.end(), p.data, p.data + p.size);
        Be(flv, static_cast<uint32_t>(p.size + 12), 4);
    }
    return flv;
}

void Tag(Bytes& out, uint16_t code, const Bytes& body) {
    Le(out, (code << 6) | 0x3F, 2);  // long header: any length
    Le(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
}

Bytes Movie(const std::vector<Packet>& packets) {
    Bytes movie = {'F', 'W', 'S', 10, 0, 0, 0, 0, 0x00, 0x0C, 0x01, 0x00};  // empty RECT, 12 fps
    Bytes event = {1, 0, packets.front().flags, 0, 0, 0, 0};  // id 1, flags, sample count
    for (const Packet& p : packets) {
        event.insert(event.end(), p.data, p.data + p.size);
    }
    Tag(movie, 14, event);
    Tag(movie, 18, {packets.front().flags, packets.front().flags, 0x00, 0x02});
    for (const Packet& p : packets) {
        Tag(movie, 19, Bytes(p.data, p.data + p.size));
    }
    Tag(movie, 0, {});
    const uint32_t length = static_cast<uint32_t>(movie.size());
    for (int i = 0; i < 4; ++i) {
        movie[4 + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    return movie;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<Packet> packets;
    size_t pos = 0;
    while (pos + 3 <= size) {
        const size_t length = (size_t{data[pos + 1]} << 8) | data[pos + 2];
        const size_t take = length < size - pos - 3 ? length : size - pos - 3;
        packets.push_back({data[pos], data + pos + 3, take});
        pos += 3 + take;
    }
    if (packets.empty()) {
        return 0;
    }
    const kelvora::ConversionOptions options{.allFormats = true};
    const Bytes video = Video(packets);
    kelvora::fuzz::WalkVideo(video.data(), video.size(), options);
    const Bytes movie = Movie(packets);
    kelvora::fuzz::WalkMovie(movie.data(), movie.size(), options);
    return 0;
}
