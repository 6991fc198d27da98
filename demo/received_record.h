#pragma once

// Where and how the demo application records its start; the end-to-end tests
// read the same record.

#include <windows.h>

#include <string>
#include <string_view>

// The record of the application at `executable`: the same path with
// ".received.txt" in place of its extension (rt\app.exe records in
// rt\app.received.txt).
inline std::wstring RecordPathOf(const std::wstring& executable) {
  const std::size_t dot = executable.rfind(L'.');
  const std::size_t separator = executable.find_last_of(L"\\/");
  const bool hasExtension =
      dot != std::wstring::npos && (separator == std::wstring::npos || dot > separator);
  return executable.substr(0, hasExtension ? dot : executable.size()) + L".received.txt";
}

// The end-to-end harness offers its launcher an inheritable section that holds
// kInheritedMarker and names its handle value, in decimal, in this environment
// variable; the application records whether the section reached it.
inline constexpr wchar_t kInheritableVariable[] = L"LAUNCHER_E2E_INHERITABLE";
inline constexpr char kInheritedMarker[] = "handed down by the end-to-end harness";

// `text` in UTF-8, the record's encoding.
inline std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}
