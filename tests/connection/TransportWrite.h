#pragma once
// A transport's write of a test's bytes, zero bytes included.
#include "connection/transports/Transport.h"

#include <cstdint>
#include <string>

inline bool WriteBytes(C_Transport& transport, const std::string& bytes) {
    return transport.Write(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size()));
}
