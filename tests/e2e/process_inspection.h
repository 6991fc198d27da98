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

// Whether a message box shows an icon. Which one cannot be told from another
// process: its handle is the showing process's own, and Wine refuses to
// describe it elsewhere (GetIconInfoExW fails with ERROR_INVALID_CURSOR_HANDLE).
inline bool ShowsIcon(HWND box) {
  for (HWND item = GetWindow(box, GW_CHILD); item != nullptr; item = GetWindow(item, GW_HWNDNEXT)) {
    if ((GetWindowLongW(item, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageW(item, STM_GETICON, 0, 0) != 0) {
      return true;
    }
  }
  return false;
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
