// The Windows calls the file helper makes, in one table: systemFileWindows.cpp
// calls only through it, so a test can make any of them fail.
#pragma once

#include <windows.h>

namespace files::os {

struct SystemCalls {
    HANDLE(WINAPI* CreateFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* CloseHandle)(HANDLE);
    DWORD(WINAPI* GetFileType)(HANDLE);
    BOOL(WINAPI* GetFileInformationByHandleEx)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    DWORD(WINAPI* GetFinalPathNameByHandleW)(HANDLE, LPWSTR, DWORD, DWORD);
    DWORD(WINAPI* GetFileAttributesW)(LPCWSTR);
    BOOL(WINAPI* GetFileSizeEx)(HANDLE, PLARGE_INTEGER);
    BOOL(WINAPI* ReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* SetEndOfFile)(HANDLE);
    BOOL(WINAPI* SetFilePointerEx)(HANDLE, LARGE_INTEGER, PLARGE_INTEGER, DWORD);
    BOOL(WINAPI* FlushFileBuffers)(HANDLE);
    BOOL(WINAPI* SetFileInformationByHandle)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    BOOL(WINAPI* DeleteFileW)(LPCWSTR);
    HANDLE(WINAPI* GetStdHandle)(DWORD);
    BOOL(WINAPI* DuplicateHandle)(HANDLE, HANDLE, HANDLE, LPHANDLE, DWORD, BOOL, DWORD);
    BOOL(WINAPI* CreateDirectoryW)(LPCWSTR, LPSECURITY_ATTRIBUTES);
    BOOL(WINAPI* RemoveDirectoryW)(LPCWSTR);
    HANDLE(WINAPI* FindFirstFileW)(LPCWSTR, LPWIN32_FIND_DATAW);
    BOOL(WINAPI* FindNextFileW)(HANDLE, LPWIN32_FIND_DATAW);
    BOOL(WINAPI* FindClose)(HANDLE);
};

} // namespace files::os
