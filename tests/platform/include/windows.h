// Host stand-in for the few Windows declarations the program uses. The
// recording layer (recorder.cpp) defines the functions, so the program's
// sources build unchanged on Linux.
#pragma once

#include <cstdint>

#define WINAPI

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using USHORT = uint16_t;
using DWORD = uint32_t;
using DWORDLONG = uint64_t;
using LONG = int32_t;
using UINT = unsigned int;
using CHAR = char;
using WCHAR = wchar_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;
using HANDLE = void*;
using LPVOID = void*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using PBOOL = BOOL*;
using SIZE_T = uintptr_t;
using UINT_PTR = uintptr_t;
using HRESULT = int32_t;
using REGSAM = DWORD;
using LPHANDLE = HANDLE*;
using ACCESS_MASK = DWORD;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using FARPROC = intptr_t (*)();
struct HKEY__;
using HKEY = HKEY__*;

// Only the architecture is read.
struct SYSTEM_INFO { WORD wProcessorArchitecture, wReserved; DWORD rest[8]; };
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define DELETE 0x00010000u
#define SW_SHOW 5
#define MAX_PATH 260
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800u
#define KEY_WOW64_64KEY 0x0100u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define CP_ACP 0u
#define CP_UTF8 65001u
#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))
#define KEY_READ 0x20019u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_INVALID_LEVEL 124u
#define ERROR_INVALID_PRINTER_NAME 1801u
#define ERROR_INVALID_ENVIRONMENT 1805u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_SUCCESS 0u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_INVALID_DATATYPE 1804u
#define ERROR_PRINTER_DRIVER_IN_USE 3001u
#define MEM_COMMIT 0x00001000u
#define MEM_RESERVE 0x00002000u
#define MEM_RELEASE 0x00008000u
#define PAGE_READWRITE 0x04u

extern "C" {
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandTail, int show);
LPSTR WINAPI CharNextA(LPCSTR position);
BOOL WINAPI IsDBCSLeadByte(BYTE leadByte);
LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey);
UINT WINAPI WinExec(LPCSTR commandLine, UINT show);
UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size);
HMODULE WINAPI LoadLibraryExA(LPCSTR fileName, HANDLE file, DWORD flags);
HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
LPWSTR WINAPI CharUpperW(LPWSTR character);
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int size);
LONG WINAPI RegDeleteKeyExA(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved);
DWORD WINAPI GetLastError();
DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);
DWORD WINAPI GetFileAttributesW(LPCWSTR path);
LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protection);
BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD type);
DWORD WINAPI GetTickCount();
LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, HKEY* opened);
LONG WINAPI RegCloseKey(HKEY key);
HANDLE WINAPI GetStdHandle(DWORD which);
BOOL WINAPI GetConsoleMode(HANDLE console, LPDWORD mode);
BOOL WINAPI WriteConsoleW(HANDLE console, const void* text, DWORD length, LPDWORD written, void* reserved);
BOOL WINAPI WriteFile(HANDLE file, const void* data, DWORD size, LPDWORD written, void* overlapped);
int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR bytes, int size,
                               LPCSTR fallback, BOOL* used);
HANDLE WINAPI GetCurrentProcess();
BOOL WINAPI IsWow64Process(HANDLE process, BOOL* wow64);
void WINAPI Sleep(DWORD milliseconds);
UINT WINAPI GetACP();
}
