#pragma once
// Builds zip archives in memory for tests, including the malformed and malicious ones no real tool makes:
// names are written exactly as given, and any field can be spoiled afterwards.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

class ZipBuilder {
public:
    enum Method : uint16_t { STORED = 0, DEFLATED = 8 };

    struct Entry {
        std::string name; // bytes as stored in the archive
        std::string data;
        Method method = DEFLATED;
        uint16_t flags = 0;
        uint32_t crcAdjust = 0; // added to the true CRC, to spoil it
    };

    ZipBuilder& Add(const std::string& name, const std::string& data, Method method = DEFLATED) {
        m_entries.push_back({name, data, method});
        return *this;
    }
    Entry& Last() { return m_entries.back(); }

    std::string Build() const {
        std::string out;
        std::string directory;
        for (const Entry& entry : m_entries) {
            const std::string packed = entry.method == DEFLATED ? Deflate(entry.data) : entry.data;
            const uint32_t crc =
                uint32_t(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), uInt(entry.data.size()))) +
                entry.crcAdjust;
            const uint32_t offset = uint32_t(out.size());
            Put32(out, 0x04034B50);
            Put16(out, 20);
            Put16(out, entry.flags);
            Put16(out, entry.method);
            Put32(out, 0); // time and date
            Put32(out, crc);
            Put32(out, uint32_t(packed.size()));
            Put32(out, uint32_t(entry.data.size()));
            Put16(out, uint16_t(entry.name.size()));
            Put16(out, 0);
            out += entry.name;
            out += packed;

            Put32(directory, 0x02014B50);
            Put16(directory, 20);
            Put16(directory, 20);
            Put16(directory, entry.flags);
            Put16(directory, entry.method);
            Put32(directory, 0);
            Put32(directory, crc);
            Put32(directory, uint32_t(packed.size()));
            Put32(directory, uint32_t(entry.data.size()));
            Put16(directory, uint16_t(entry.name.size()));
            Put32(directory, 0); // extra and comment lengths
            Put32(directory, 0); // disk and internal attributes
            Put32(directory, 0); // external attributes
            Put32(directory, offset);
            directory += entry.name;
        }
        const uint32_t directoryOffset = uint32_t(out.size());
        out += directory;
        Put32(out, 0x06054B50);
        Put32(out, 0);
        Put16(out, uint16_t(m_entries.size()));
        Put16(out, uint16_t(m_entries.size()));
        Put32(out, uint32_t(directory.size()));
        Put32(out, directoryOffset);
        Put16(out, 0);
        return out;
    }

    static std::string Deflate(const std::string& data) {
        z_stream stream{};
        deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::string out(deflateBound(&stream, uLong(data.size())), '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = uInt(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
        stream.avail_out = uInt(out.size());
        deflate(&stream, Z_FINISH);
        out.resize(stream.total_out);
        deflateEnd(&stream);
        return out;
    }

private:
    static void Put16(std::string& out, uint16_t value) {
        out += char(value & 0xFF);
        out += char(value >> 8);
    }
    static void Put32(std::string& out, uint32_t value) {
        Put16(out, uint16_t(value & 0xFFFF));
        Put16(out, uint16_t(value >> 16));
    }

    std::vector<Entry> m_entries;
};
