// Record marking of RPC messages over TCP: each fragment is preceded by a
// word whose top bit marks the last fragment and whose low 31 bits give
// its length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// message as one record of one (last) fragment.
std::string FrameRecord(std::string_view message);

enum class RecordState { Incomplete, Complete, Malformed };

// The first record of stream, its fragments joined into message. Complete:
// consumed is the bytes it took from stream. Incomplete: more bytes are
// needed. Malformed: its fragments add up to more than maxBytes, or it has
// more than maxFragments fragments.
RecordState ReadRecord(std::string_view stream, std::size_t maxBytes, std::size_t maxFragments,
                       std::string &message, std::size_t &consumed);
