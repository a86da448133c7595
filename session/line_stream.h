// Lines of a byte stream, read piece by piece: a file of any size is never
// held whole, only the line at hand and one piece read ahead.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Reads up to size bytes into buffer: the count read, 0 at the end of the
// stream, or -1 on failure with error set to the system's code.
using ByteSource = std::function<long(char *buffer, std::size_t size, int &error)>;

struct LineStream {
  ByteSource Source;
  std::size_t PieceSize = 65536;  // bytes asked of the source at a time
  std::string Piece;              // bytes read ahead; those from Next on are unread
  std::size_t Next = 0;
  bool Ended = false;             // the source reported its end
  int ErrorCode = 0;              // the code of a failed read; the stream stops there
};

// True when no byte is left. False when bytes remain, and also when reading
// ahead fails (ErrorCode then tells why).
bool AtStreamEnd(LineStream &stream);

// The next line without its line end (LF or CR LF). A CR without LF and
// every other byte, 0 included, stay in the line; a last line without a line
// end is a line too, and at the end the line is empty. False when a read
// fails (ErrorCode then tells why); the part read of that line is dropped.
bool ReadStreamLine(LineStream &stream, std::string &line);
