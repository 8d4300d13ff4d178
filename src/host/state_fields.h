// The values of one section of a state file, named in order by each device's own function:
// saving appends them, checking reads and checks them without touching the machine, loading
// stores them. Each call returns the value saved or read, so a later range may depend on it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>

// The checksum of a state's sections: CRC-32 as zip files have it.
uint32_t state_checksum(const uint8_t* p, size_t n, uint32_t crc = 0);

enum StateMode { STATE_SAVE, STATE_CHECK, STATE_LOAD };

class Fields {
public:
    Fields(StateMode mode, const std::string& section) : mode(mode), section(section) {}
    Fields(StateMode mode, const std::string& section, const uint8_t* p, size_t n, bool present)
        : mode(mode), section(section), p(p), left(n), present(present)
    {
    }

    bool loading() const { return mode == STATE_LOAD; }

    template <class T> T value(const char* name, T& v, int64_t low, int64_t high, std::optional<int64_t> absent = {})
    {
        if (mode == STATE_SAVE) {
            put(uint64_t(v), sizeof(T));
            return v;
        }
        int64_t x;
        if (left == 0 && absent) {
            x = *absent;
        } else if (left < sizeof(T)) {
            refuse(name, "is missing");
            return v;
        } else {
            uint64_t raw = take(sizeof(T));
            x = std::is_signed_v<T> ? int64_t(int32_t(uint32_t(raw))) : int64_t(raw);
            if (sizeof(T) == 8 && raw > uint64_t(INT64_MAX))
                x = -1;
        }
        if (x < low || x > high) {
            refuse(name, "is " + std::to_string(x) + ", not " + std::to_string(low) + " to " + std::to_string(high));
            return v;
        }
        if (mode == STATE_LOAD)
            v = T(x);
        return T(x);
    }

    std::string text(const char* name, std::string& v, std::optional<std::string> absent = {})
    {
        if (mode == STATE_SAVE) {
            put(v.size(), 4);
            bytes += v;
            return v;
        }
        std::string s;
        if (left == 0 && absent) {
            s = *absent;
        } else {
            size_t n = left >= 4 ? take(4) : SIZE_MAX;
            if (n > left) {
                refuse(name, "is missing");
                return v;
            }
            s.assign(reinterpret_cast<const char*>(p), n);
            p += n;
            left -= n;
        }
        if (mode == STATE_LOAD)
            v = s;
        return s;
    }

    // Exactly n bytes.
    void block(const char* name, uint8_t* data, size_t n)
    {
        if (mode == STATE_SAVE) {
            bytes.append(reinterpret_cast<const char*>(data), n);
        } else if (left != n) {
            refuse(name, "is not " + std::to_string(n) + " bytes");
        } else if (mode == STATE_LOAD) {
            std::memcpy(data, p, n);
        }
    }

    // A condition between values.
    void require(bool holds, const char* name, const std::string& why)
    {
        if (mode != STATE_SAVE && !holds)
            refuse(name, why);
    }

    StateMode mode;
    std::string section;
    std::string bytes;    // what saving wrote
    std::string problem;  // why checking failed
    std::string notes;    // what loading has to tell

private:
    const uint8_t* p = nullptr;
    size_t left = 0;
    bool present = true;

    void put(uint64_t v, size_t n)
    {
        for (size_t i = 0; i < n; i++)
            bytes += char(v >> (8 * i));
    }
    uint64_t take(size_t n)
    {
        uint64_t v = 0;
        for (size_t i = 0; i < n; i++)
            v |= uint64_t(p[i]) << (8 * i);
        p += n;
        left -= n;
        return v;
    }
    void refuse(const char* name, const std::string& why)
    {
        std::string shown = section.substr(0, section.find_last_not_of(' ') + 1);
        if (problem.empty())
            problem = present ? "its " + shown + " value " + name + " " + why : "it has no " + shown + " section";
    }
};

constexpr int64_t U8 = 0xFF, U16 = 0xFFFF, U32 = 0xFFFFFFFF;
// The largest state file read.
constexpr size_t LARGEST_STATE = 1 << 24;
