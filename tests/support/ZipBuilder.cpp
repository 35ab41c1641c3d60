#include "support/ZipBuilder.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <vector>

namespace kelvora::test {

Bytes ZipOf(const std::vector<ZipMember>& members) {
    std::vector<uint8_t> buffer(64 * 1024 * 1024);
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
    for (const ZipMember& member : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.path.c_str());
        if (!member.linkTarget.empty()) {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, member.linkTarget.c_str());
            archive_entry_set_perm(entry, 0777);
            archive_write_header(a, entry);
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, static_cast<la_int64_t>(member.data.size()));
            archive_write_header(a, entry);
            archive_write_data(a, member.data.data(), member.data.size());
        }
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    buffer.resize(used);
    return buffer;
}

Bytes OverlappingZip(const Bytes& data, int copies) {
    // The shared data, raw deflate, ending the stream.
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    Bytes kernel(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = kernel.data();
    z.avail_out = static_cast<uInt>(kernel.size());
    deflate(&z, Z_FINISH);
    kernel.resize(z.total_out);
    deflateEnd(&z);
    // Entry i's data is a stored block quoting entry i+1's local header, which the stream goes on
    // to read as its own, down to the shared data: every entry has its own place in the archive,
    // and gives every later header and the data. Built from the last entry back.
    std::vector<Bytes> headers(static_cast<size_t>(copies));
    uint32_t crc = crc32(0, data.data(), static_cast<uInt>(data.size()));
    uint64_t size = data.size();
    uint64_t packed = kernel.size();
    for (int i = copies - 1; i >= 0; --i) {
        const std::string name = "bomb" + std::to_string(i) + ".swf";
        ByteWriter header;
        header.U32(0x04034b50).U16(20).U16(0).U16(8).U16(0).U16(0).U32(crc);
        header.U32(static_cast<uint32_t>(packed)).U32(static_cast<uint32_t>(size));
        header.U16(static_cast<uint32_t>(name.size())).U16(0).Append(name);
        headers[static_cast<size_t>(i)] = header.take();
        const Bytes& quoted = headers[static_cast<size_t>(i)];
        crc = crc32_combine(crc32(0, quoted.data(), static_cast<uInt>(quoted.size())), crc,
                            static_cast<z_off_t>(size));
        size += quoted.size();
        packed += 5 + quoted.size();
    }
    ByteWriter zip;
    std::vector<uint32_t> offsets;
    for (int i = 0; i < copies; ++i) {
        offsets.push_back(static_cast<uint32_t>(zip.bytes().size()));
        zip.Append(headers[static_cast<size_t>(i)]);
        if (i + 1 < copies) {
            const uint16_t length =
                static_cast<uint16_t>(headers[static_cast<size_t>(i) + 1].size());
            zip.U8(0).U16(length).U16(static_cast<uint16_t>(~length));
        }
    }
    zip.Append(kernel);
    const uint32_t directory = static_cast<uint32_t>(zip.bytes().size());
    for (int i = 0; i < copies; ++i) {
        const Bytes& local = headers[static_cast<size_t>(i)];
        ByteWriter entry;
        entry.U32(0x02014b50).U16(20).Append(Bytes(local.begin() + 4, local.begin() + 30));
        entry.U16(0).U16(0).U16(0).U32(0).U32(offsets[static_cast<size_t>(i)]);
        entry.Append(Bytes(local.begin() + 30, local.end()));
        zip.Append(entry.bytes());
    }
    const uint32_t length = static_cast<uint32_t>(zip.bytes().size()) - directory;
    zip.U32(0x06054b50).U16(0).U16(0).U16(static_cast<uint32_t>(copies));
    zip.U16(static_cast<uint32_t>(copies)).U32(length).U32(directory).U16(0);
    return zip.take();
}

}  // namespace kelvora::test
