#include "install95/text_file.h"

namespace install95 {

bool TextReader::Load(platform::FileSystem& files, platform::FileHandle file) {
  std::string raw;
  char chunk[4096];
  for (;;) {
    std::uint32_t got = 0;
    if (!files.ReadFile(file, chunk, sizeof chunk, &got)) return false;
    if (got == 0) break;
    raw.append(chunk, got);
  }
  text_.clear();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\x1A') break;
    if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text_ += c;
  }
  Rewind();
  return true;
}

bool TextReader::Next(LinePiece* piece) {
  if (position_ >= text_.size()) return false;
  std::size_t end = position_;
  while (end < text_.size() && end - position_ < kLinePieceChars) {
    if (text_[end++] == '\n') break;
  }
  piece->text.assign(text_, position_, end - position_);
  piece->startsLine = !midLine_;
  midLine_ = piece->text.back() != '\n';
  position_ = end;
  return true;
}

void TextWriter::Write(std::string_view text) {
  for (char c : text) {
    if (c == '\n') bytes_ += '\r';
    bytes_ += c;
  }
}

bool TextWriter::Flush(platform::FileSystem& files, platform::FileHandle file) {
  std::size_t done = 0;
  while (done < bytes_.size()) {
    std::uint32_t size = static_cast<std::uint32_t>(std::min<std::size_t>(bytes_.size() - done, 4096));
    std::uint32_t written = 0;
    if (!files.WriteFile(file, bytes_.data() + done, size, &written) || written != size) return false;
    done += size;
  }
  bytes_.clear();
  return true;
}

}  // namespace install95
