// Start-up files read and written as the C runtime's text mode does: carriage return and line feed are
// one "\n" in memory, Ctrl-Z ends the text, and lines come in pieces of at most 255 characters, as a
// 256-byte line buffer hands them out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace install95 {

constexpr std::size_t kLinePieceChars = 255;

struct LinePiece {
  std::string text;  // ends in "\n" when the line ends within this piece
  // False for the second and later pieces of a line longer than a piece: those follow whatever was
  // decided for the line's first piece, so an edit never lands in the middle of a line.
  bool startsLine = true;
};

class TextReader {
 public:
  // Reads the whole file at once, so a read failure is known before anything is written anywhere.
  bool Load(platform::FileSystem& files, platform::FileHandle file);
  // The next piece; false at the end of the text.
  bool Next(LinePiece* piece);
  void Rewind() { position_ = 0, midLine_ = false; }

 private:
  std::string text_;  // already converted from the file's bytes
  std::size_t position_ = 0;
  bool midLine_ = false;
};

class TextWriter {
 public:
  void Write(std::string_view text);
  // Writes everything gathered to `file`; false when any byte could not be written.
  bool Flush(platform::FileSystem& files, platform::FileHandle file);

 private:
  std::string bytes_;
};

}  // namespace install95
