// Bounded text transfer across the flat call interface.
#include "engine/api/text_buffer.h"

#include <algorithm>

namespace kestrel {

std::u16string ReadText(const TdbChar* text) {
  return text ? std::u16string(text) : std::u16string();
}

bool IsTerminated(const TdbChar* text, std::size_t capacity) {
  return std::find(text, text + capacity, u'\0') != text + capacity;
}

std::u16string ReadBoundedText(const TdbChar* text, std::size_t capacity) {
  if (!text) return {};
  const TdbChar* end = std::find(text, text + capacity, u'\0');
  return std::u16string(text, end);
}

bool WriteTextCut(std::u16string_view text, TdbChar* buffer, std::int32_t maxLen) {
  if (!buffer || maxLen < 0) return false;
  const std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(maxLen));
  std::copy_n(text.data(), count, buffer);
  buffer[count] = u'\0';
  return true;
}

bool WriteTextFit(std::u16string_view text, TdbChar* buffer, std::size_t capacity) {
  if (!buffer || text.size() + 1 > capacity) return false;
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = u'\0';
  return true;
}

bool WriteTextWhole(std::u16string_view text, TdbChar* buffer, std::int32_t maxLen) {
  return maxLen >= 0 && WriteTextFit(text, buffer, static_cast<std::size_t>(maxLen) + 1);
}

}  // namespace kestrel
