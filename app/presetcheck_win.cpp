// The Windows Installer package's check of the admin's preset: a custom action that runs
// before anything is installed. Each preset property that is given must hold a value the
// program takes (core/settingstext.h), or the installation stops with the reason in its log,
// leaving nothing behind. Windows Installer loads this DLL from a temporary copy, where
// neither Qt nor the compiler's runtime lies beside it: plain C++, linked statically.
#include "core/settingstext.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>

namespace {

std::wstring property(MSIHANDLE install, const std::wstring& name)
{
    wchar_t probe[1] = L"";
    DWORD size = 0;
    if (MsiGetPropertyW(install, name.c_str(), probe, &size) != ERROR_MORE_DATA)
        return {};
    std::wstring value(++size, L'\0');
    if (MsiGetPropertyW(install, name.c_str(), value.data(), &size) != ERROR_SUCCESS)
        return {};
    value.resize(size);
    return value;
}

void logError(MSIHANDLE install, const std::wstring& text)
{
    // Field 0 is a template that Windows Installer formats: the text goes in as a field, so
    // brackets in a value stay as they are.
    const MSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR), record);
    MsiCloseHandle(record);
}

} // namespace

extern "C" __declspec(dllexport) UINT __stdcall CheckPreset(MSIHANDLE install)
{
    UINT result = ERROR_SUCCESS;
    for (const std::u16string_view name : settingstext::PresetProperties) {
        const std::wstring wideName(name.begin(), name.end());
        const std::wstring value = property(install, wideName);
        const char* reason =
            settingstext::presetRefusal(name, std::u16string(value.begin(), value.end()));
        if (!reason)
            continue;
        logError(install, L"Quill Relay: " + wideName + L"=\"" + value + L"\" " +
                              std::wstring(reason, reason + std::char_traits<char>::length(reason)) +
                              L"; nothing is installed.");
        result = ERROR_INSTALL_FAILURE;
    }
    return result;
}
