#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "audio/PcmSink.h"
#include "audio/WavFile.h"

namespace kelvora {

namespace {

// libFLAC writes through these, straight to the file's descriptor: it seeks back to finish the
// header when the stream ends.
FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte bytes[],
                                          size_t size, uint32_t, uint32_t, void* client);
FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                     void* client);
FLAC__StreamEncoderTellStatus TellWhere(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                        void* client);

}  // namespace

struct CFlacSink::Encoder {
    FLAC__StreamEncoder* flac = nullptr;
    FLAC__StreamMetadata* comments = nullptr;
    int fd = -1;
    int* error = nullptr;
    std::vector<FLAC__int32> interleaved;

    ~Encoder() {
        if (flac) {
            FLAC__stream_encoder_delete(flac);
        }
        if (comments) {
            FLAC__metadata_object_delete(comments);
        }
    }
};

namespace {

FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte bytes[],
                                          size_t size, uint32_t, uint32_t, void* client) {
    auto* encoder = static_cast<CFlacSink::Encoder*>(client);
    while (size > 0) {
        const ssize_t written = ::write(encoder->fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (*encoder->error == 0) {
                *encoder->error = written < 0 ? errno : EIO;
            }
            return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                     void* client) {
    auto* encoder = static_cast<CFlacSink::Encoder*>(client);
    return ::lseek(encoder->fd, static_cast<off_t>(offset), SEEK_SET) < 0
               ? FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR
               : FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus TellWhere(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                        void* client) {
    auto* encoder = static_cast<CFlacSink::Encoder*>(client);
    const off_t at = ::lseek(encoder->fd, 0, SEEK_CUR);
    if (at < 0) {
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    }
    *offset = static_cast<FLAC__uint64>(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool AddComment(FLAC__StreamMetadata* comments, const char* name, const std::string& value) {
    if (value.empty()) {
        return true;
    }
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    return FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name,
                                                                          value.c_str()) &&
           FLAC__metadata_object_vorbiscomment_append_comment(comments, entry, false);
}

}  // namespace

CFlacSink::CFlacSink(std::string path, CFile claimed, SoundTags tags)
    : m_path(std::move(path)), m_file(std::move(claimed)), m_tags(std::move(tags)) {}

CFlacSink::~CFlacSink() {
    delete m_encoder;
}

bool CFlacSink::Start(bool stereo, uint16_t bitsPerSample, uint32_t sampleRate) {
    if (!OpenOutput(m_file, m_path)) {
        m_error = errno;
        return false;
    }
    m_file.Flush();  // nothing is buffered: libFLAC writes the descriptor itself
    m_channels = stereo ? 2 : 1;
    m_encoder = new Encoder;
    m_encoder->fd = m_file.Fd();
    m_encoder->error = &m_error;
    m_encoder->flac = FLAC__stream_encoder_new();
    m_encoder->comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!m_encoder->flac || !m_encoder->comments ||
        !AddComment(m_encoder->comments, "TITLE", m_tags.title) ||
        !AddComment(m_encoder->comments, "ALBUM", m_tags.album)) {
        return false;
    }
    FLAC__StreamEncoder* flac = m_encoder->flac;
    FLAC__stream_encoder_set_channels(flac, m_channels);
    FLAC__stream_encoder_set_bits_per_sample(flac, bitsPerSample);
    FLAC__stream_encoder_set_sample_rate(flac, sampleRate);
    FLAC__stream_encoder_set_compression_level(flac, 5);
    FLAC__stream_encoder_set_metadata(flac, &m_encoder->comments, 1);
    return FLAC__stream_encoder_init_stream(flac, WriteBytes, SeekTo, TellWhere, nullptr,
                                            m_encoder) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
}

bool CFlacSink::Write(const int16_t* left, const int16_t* right, uint32_t count) {
    if (!m_encoder || !m_encoder->flac) {
        return false;
    }
    std::vector<FLAC__int32>& samples = m_encoder->interleaved;
    samples.resize(size_t{count} * m_channels);
    for (uint32_t i = 0; i < count; ++i) {
        samples[size_t{i} * m_channels] = left[i];
        if (m_channels == 2) {
            samples[size_t{i} * 2 + 1] = right[i];
        }
    }
    return FLAC__stream_encoder_process_interleaved(m_encoder->flac, samples.data(), count);
}

bool CFlacSink::Finish() {
    const bool finished = m_encoder && m_encoder->flac &&
                          FLAC__stream_encoder_finish(m_encoder->flac) && m_error == 0;
    const bool closed = m_file.Close();
    if (!finished || !closed) {
        if (m_error == 0) {
            m_error = m_file.WriteError() != 0 ? m_file.WriteError() : EIO;
        }
        return false;
    }
    return true;
}

bool TranscodeWavToFlac(const std::string& wavPath, const std::string& flacPath, CFile claimed,
                        const SoundTags& tags, uint32_t* frames, int* error) {
    int ignored = 0;
    int& why = error ? *error : ignored;
    why = 0;
    CWavReader reader;
    if (!reader.Open(wavPath)) {
        return false;
    }
    const bool wide = reader.BitsPerSample() == 16;
    CFlacSink sink(flacPath, std::move(claimed), tags);
    bool ok = sink.Start(reader.Channels() == 2, reader.BitsPerSample(), reader.SampleRate());
    uint64_t total = 0;
    int16_t left[kChunkFrames];
    int16_t right[kChunkFrames];
    uint8_t left8[kChunkFrames] = {};
    uint8_t right8[kChunkFrames] = {};
    while (ok) {
        uint32_t count = 0;
        bool end = false;
        if (wide) {
            ok = reader.ReadChunk(left, right, count, end);
        } else {
            // 8-bit WAV samples are unsigned; FLAC's are signed: the same sound, 128 lower.
            ok = reader.ReadChunk(left8, right8, count, end);
            for (uint32_t i = 0; i < count; ++i) {
                left[i] = static_cast<int16_t>(left8[i] - 128);
                right[i] = static_cast<int16_t>(right8[i] - 128);
            }
        }
        if (!ok || count == 0) {
            break;
        }
        ok = sink.Write(left, right, count);
        total += count;
    }
    const bool finished = sink.Finish() && ok;
    if (!finished) {
        why = sink.Error();
        struct stat st {};
        if (::stat(flacPath.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            RemoveFile(flacPath);
        }
        return false;
    }
    if (frames) {
        *frames = static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
    }
    return true;
}

}  // namespace kelvora
