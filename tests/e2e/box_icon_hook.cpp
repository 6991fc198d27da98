// Loaded into the launcher by the window hook that the end-to-end harness sets
// on the launcher's thread. Another process cannot tell one icon handle from
// another, so once a message box has set itself up, this names the resource
// of its icon in the box's kBoxIconProperty, which any process can read.
#include <windows.h>

#include "process_inspection.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK NameBoxIcon(int code, WPARAM sent,
                                                              LPARAM call) {
  const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(call);
  if (code == HC_ACTION && message->message == WM_INITDIALOG) {
    const HICON icon = MessageBoxIconHandle(message->hwnd);
    ICONINFOEXW info{};
    info.cbSize = sizeof(info);
    if (icon != nullptr && GetIconInfoExW(icon, &info)) {
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
      SetPropW(message->hwnd, kBoxIconProperty,
               reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(info.wResID)));
    }
  }
  return CallNextHookEx(nullptr, code, sent, call);
}
