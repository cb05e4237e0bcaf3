// The lines keyhost prints. Two threads print (the host window's and the main one), so every
// line is written whole under one lock.
#include <stdarg.h>
#include <stdio.h>

#include "keyhost.h"

static CRITICAL_SECTION outputLock;
static DWORD startTime;

void startOutput() {
    InitializeCriticalSection(&outputLock);
    startTime = GetTickCount();
}

static void printLine(const char* prefix, const char* format, va_list arguments) {
    EnterCriticalSection(&outputLock);
    fputs(prefix, stdout);
    vprintf(format, arguments);
    fputc('\n', stdout);
    fflush(stdout);
    LeaveCriticalSection(&outputLock);
}

void printEvent(const char* format, ...) {
    DWORD elapsed = GetTickCount() - startTime;
    char stamp[32];
    snprintf(stamp, sizeof stamp, "[%4lu.%03lu] ", (unsigned long)(elapsed / 1000),
             (unsigned long)(elapsed % 1000));
    va_list arguments;
    va_start(arguments, format);
    printLine(stamp, format, arguments);
    va_end(arguments);
}

void printNote(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    printLine("", format, arguments);
    va_end(arguments);
}

void describeNotice(const DeviceNotice& notice, char* text, size_t size) {
    const char* resume = (notice.kind & NoticeResumeMark) != 0 ? " (resume)" : "";
    DWORD kind = notice.kind & ~(DWORD)NoticeResumeMark;
    if (kind == NoticeRemoved && notice.deviceId == 0) {
        snprintf(text, size, "nothing found%s", resume);
    } else if (kind == NoticeArrived) {
        snprintf(text, size, "arrived  id=%u vid=%04X pid=%04X%s", notice.deviceId, notice.vendorId,
                 notice.productId, resume);
    } else if (kind == NoticeRemoved) {
        snprintf(text, size, "removed  id=%u%s", notice.deviceId, resume);
    } else {
        snprintf(text, size, "notice of kind 0x%lX id=%u", (unsigned long)notice.kind,
                 notice.deviceId);
    }
}

void describeKey(WPARAM wParam, LPARAM lParam, char* text, size_t size) {
    snprintf(text, size, "key %lu %s", (unsigned long)(wParam >> 8),
             (lParam & KeyReleasedFlag) != 0 ? "up" : "down");
}
