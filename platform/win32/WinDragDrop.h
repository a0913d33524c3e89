// Files dropped on a window. A window that accepts files (DragAcceptFiles, or
// WS_EX_ACCEPTFILES) receives WM_DROPFILES with a drop handle in wParam once
// per drop, listing every file of the drop; the receiver reads it with
// DragQueryFileA and DragQueryPoint and frees it with DragFinish.
// File names are UTF-8 full paths.
#pragma once

#include "platform/win32/WinTypes.h"

#include <string>
#include <vector>

struct HDROP__;
using HDROP = HDROP__*;

void DragAcceptFiles(HWND hwnd, BOOL accept);
// index 0xFFFFFFFF: the number of files. Else the length of the file's name
// (without the terminating zero) when buffer is null, or copies as much of the
// name as fits with a terminating zero and answers the characters copied.
// 0 for a bad handle or index.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size);
// The drop point in client coordinates; TRUE when it lies in the client area.
BOOL DragQueryPoint(HDROP drop, POINT* point);
void DragFinish(HDROP drop);

namespace platform {

// A new drop handle (freed by DragFinish); the client area is the size given.
HDROP MakeDrop(std::vector<std::string> files, POINT point, int clientWidth, int clientHeight);
// The number of drop handles not yet freed.
std::size_t OpenDrops();

}  // namespace platform
