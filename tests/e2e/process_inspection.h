#pragma once

// Looks into another Windows process from a test or bench program: the message
// boxes it shows and the modules it has loaded. Header-only, so programs that
// do not link the end-to-end harness can use it too.

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The visible message boxes (dialogs) that the process shows, in z-order.
inline std::vector<HWND> MessageBoxesOf(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<HWND> found;
  } search{processId, {}};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto& into = *reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t className[16] = {};
        GetClassNameW(window, className, static_cast<int>(std::size(className)));
        if (owner == into.processId && IsWindowVisible(window) &&
            std::wstring_view(className) == L"#32770") {
          into.found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box's caption.
inline std::wstring MessageBoxCaption(HWND box) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A message box's text: its static control with the identifier 0xFFFF.
inline std::wstring MessageBoxText(HWND box) {
  constexpr int kTextId = 0xFFFF;
  const HWND item = GetDlgItem(box, kTextId);
  if (item == nullptr) {
    return {};
  }
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(GetDlgItemTextW(box, kTextId, text.data(), static_cast<int>(text.size())));
  return text;
}

// The handle of the icon a message box shows, null when it shows none; valid
// only in the process that shows the box.
inline HICON MessageBoxIconHandle(HWND box) {
  for (HWND item = GetWindow(box, GW_CHILD); item != nullptr; item = GetWindow(item, GW_HWNDNEXT)) {
    if ((GetWindowLongW(item, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      return reinterpret_cast<HICON>(SendMessageW(item, STM_GETICON, 0, 0));
    }
  }
  return nullptr;
}

// Where box_icon_hook names the resource of a box's icon.
inline constexpr wchar_t kBoxIconProperty[] = L"LauncherE2eBoxIcon";

// The standard icon a message box shows: L"error", L"warning",
// L"information", L"question"; L"none" without one; L"unnamed" when no
// box_icon_hook named it.
inline std::wstring MessageBoxIcon(HWND box) {
  if (MessageBoxIconHandle(box) == nullptr) {
    return L"none";
  }
  const auto resource = reinterpret_cast<ULONG_PTR>(GetPropW(box, kBoxIconProperty));
  const std::pair<ULONG_PTR, const wchar_t*> kIcons[] = {
      {32513, L"error"}, {32515, L"warning"}, {32516, L"information"}, {32514, L"question"}};
  for (const auto& [id, name] : kIcons) {
    if (resource == id) {
      return name;
    }
  }
  return L"unnamed";
}

// Whether the box stays above all other windows, as a system-modal or topmost
// box does; an application-modal box does not.
inline bool IsTopmost(HWND box) { return (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// The process's loaded module with this file name (any letter case); null when
// it has none.
inline HMODULE LoadedModule(HANDLE process, std::wstring_view fileName) {
  HMODULE modules[512];
  DWORD needed = 0;
  if (!K32EnumProcessModules(process, modules, sizeof(modules), &needed)) {
    return nullptr;
  }
  const size_t count = std::min<size_t>(needed / sizeof(HMODULE), std::size(modules));
  for (size_t i = 0; i < count; ++i) {
    wchar_t baseName[MAX_PATH] = {};
    const DWORD length = K32GetModuleBaseNameW(process, modules[i], baseName, MAX_PATH);
    if (length > 0 && CompareStringOrdinal(baseName, static_cast<int>(length), fileName.data(),
                                           static_cast<int>(fileName.size()),
                                           TRUE) == CSTR_EQUAL) {
      return modules[i];
    }
  }
  return nullptr;
}
