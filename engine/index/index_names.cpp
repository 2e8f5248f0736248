// Index names, kinds and file names.
#include "engine/index/index_names.h"

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/collation.h"

namespace kestrel {
namespace {

constexpr int kFirstModernLevel = 4;
constexpr int kFirstTdbiLevel = 6;
constexpr size_t kMaxOldBaseNameLength = 40;
constexpr char16_t kTempTableMark = u'~';
constexpr std::u16string_view kSystemPrefix = u"sys_";
constexpr std::u16string_view kTemporaryPrefix = u"tmp";
constexpr std::u16string_view kPrimaryName = u"sys_Primary";
constexpr std::u16string_view kRecordIdName = u"sys_Id";
constexpr std::u16string_view kLinkName = u"sys_Inr";
constexpr std::u16string_view kNumberedLinkPrefix = u"sys_In";
constexpr std::u16string_view kOldRecordIdExtension = u".id";
constexpr std::u16string_view kOldLinkExtension = u".inr";
constexpr std::u16string_view kOldNumberedLinkExtension = u".in";
constexpr char16_t kOldTemporaryExtensionMark = u'$';
constexpr size_t kOldTemporaryExtensionLength = 4;

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The extension of a name, dot included ("" when there is none).
std::u16string_view Extension(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  const size_t slash = name.find_last_of(u"/\\");
  if (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && slash > dot)) return {};
  return name.substr(dot);
}

bool IsDigitOneToNine(char16_t c) { return c >= u'1' && c <= u'9'; }

bool IsPositiveNumber(std::u16string_view text) {
  if (text.empty()) return false;
  bool nonZero = false;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return false;
    nonZero = nonZero || c != u'0';
  }
  return nonZero;
}

std::u16string_view WithoutIndexExtension(std::u16string_view name) {
  const std::u16string_view extension = Extension(name);
  if (EqualsNoCase(extension, kIndexExtension) || EqualsNoCase(extension, kIndexExtensionModern))
    name.remove_suffix(extension.size());
  return name;
}

}  // namespace

std::u16string CalcIndexFileName(std::u16string_view directory, std::u16string_view tableName,
                                 std::u16string_view indexName, int tableLevel) {
  std::u16string path(directory);
  if (!path.empty() && path.back() != u'/') path += u'/';
  if (tableLevel >= kFirstModernLevel) {
    path += tableName;
    path += kIndexNameSeparator;
    path += indexName;
    path += tableLevel >= kFirstTdbiLevel ? kIndexExtensionModern : kIndexExtension;
    return path;
  }
  path += indexName;
  if (Extension(indexName).empty())
    path += !tableName.empty() && tableName.front() == kTempTableMark ? kTempIndexExtension : kIndexExtension;
  return path;
}

TTdbIndexKind GetIndexKind(std::u16string_view indexName, int tableLevel) {
  const std::u16string_view extension = Extension(indexName);
  if (tableLevel >= kFirstModernLevel) {
    if (!extension.empty()) return tikUser;
    if (StartsWithNoCase(indexName, kSystemPrefix)) {
      if (EqualsNoCase(indexName, kRecordIdName) || EqualsNoCase(indexName, kLinkName)) return tikAdl;
      if (StartsWithNoCase(indexName, kNumberedLinkPrefix) &&
          IsPositiveNumber(indexName.substr(kNumberedLinkPrefix.size())))
        return tikAdl;
      return tikConstraint;
    }
    if (indexName.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix) return tikTemporary;
    return tikUser;
  }
  if (extension.empty() || EqualsNoCase(extension, kIndexExtension) || EqualsNoCase(extension, kTempIndexExtension))
    return tikUser;
  if (extension.size() == kOldTemporaryExtensionLength && extension[1] == kOldTemporaryExtensionMark)
    return tikTemporary;
  if (EqualsNoCase(extension, kOldLinkExtension) || EqualsNoCase(extension, kOldRecordIdExtension)) return tikAdl;
  if (extension.size() == kOldNumberedLinkExtension.size() + 1 &&
      StartsWithNoCase(extension, kOldNumberedLinkExtension) && IsDigitOneToNine(extension.back()))
    return tikAdl;
  return tikUnknown;
}

std::u16string SpecialIndexName(TTdbSpecialIndex which, int linkNo, std::u16string_view tableBaseName,
                                int tableLevel) {
  const bool numbered = which == tsiLink && linkNo >= 1 && linkNo <= 9;
  const char16_t digit = static_cast<char16_t>(u'0' + linkNo);
  if (tableLevel >= kFirstModernLevel) {
    switch (which) {
      case tsiPrimary:
        return std::u16string(kPrimaryName);
      case tsiRecordId:
        return std::u16string(kRecordIdName);
      case tsiLink:
        return numbered ? std::u16string(kNumberedLinkPrefix) + digit : std::u16string(kLinkName);
    }
    return {};
  }
  const std::u16string base(tableBaseName.substr(0, kMaxOldBaseNameLength));
  switch (which) {
    case tsiPrimary:
      return {};
    case tsiRecordId:
      return base + std::u16string(kOldRecordIdExtension);
    case tsiLink:
      return numbered ? base + std::u16string(kOldNumberedLinkExtension) + digit
                      : base + std::u16string(kOldLinkExtension);
  }
  return {};
}

TTdbIndexNo GetIndexNo(const std::vector<std::u16string>& indexNames, const TTdbSpecialIndexNumbers& special,
                       std::u16string_view tableBaseName, std::u16string_view indexName, int tableLevel) {
  const struct {
    TTdbSpecialIndex FWhich;
    TTdbIndexNo FNumber;
  } specials[] = {{tsiPrimary, special.FPrimary}, {tsiRecordId, special.FRecordId}, {tsiLink, special.FLink}};
  for (const auto& entry : specials) {
    const std::u16string name = SpecialIndexName(entry.FWhich, 0, tableBaseName, tableLevel);
    if (!name.empty() && IsSameName(name, indexName) && entry.FNumber >= 0) return entry.FNumber;
  }
  std::u16string wanted(indexName);
  if (tableLevel < kFirstModernLevel && Extension(wanted).empty()) wanted += kIndexExtension;
  const std::u16string_view wantedBase = WithoutIndexExtension(wanted);
  for (size_t i = 0; i < indexNames.size() && i < static_cast<size_t>(kMaxIndexesPerTable); ++i)
    if (IsSameName(WithoutIndexExtension(indexNames[i]), wantedBase)) return static_cast<TTdbIndexNo>(i);
  throw ETdbEngine(tdbErrIndexNotFound, Utf16ToUtf8(indexName));
}

}  // namespace kestrel
