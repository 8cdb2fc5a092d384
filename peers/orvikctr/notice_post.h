#pragma once
// Hands each record to the registered window as a notification block.
#include <windows.h>

#include "orvikctr.h"
#include "record_assembler.h"

void SetNoticeTarget(HWND window, UINT message);
void SetNoticePoster(PrnPipePoster poster);

// Posts the record. While the window's queue is full it waits and tries again; only a
// window that no longer exists makes it discard the record. False when stop was set first.
bool PostNotice(const WireRecord& record, HANDLE stop);
