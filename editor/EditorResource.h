#pragma once

#include <QString>

// Command ids of menu 128; each menu action carries its id as data.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_GOTO = 32771;
inline constexpr int ID_EDIT_FIND = 57636;
inline constexpr int ID_EDIT_REPLACE = 57641;

// Control ids of the dialogs; each control carries its id as object name.
inline constexpr int IDC_FIND_WHAT = 1000;
inline constexpr int IDC_FIND_NEXT = 1001;
inline constexpr int IDC_MATCH_CASE = 1003;
inline constexpr int IDC_LINE = 1006;

// String table of the editor.
inline constexpr int IDS_LINE_TOO_SMALL = 65008;
inline constexpr int IDS_LINE_BEYOND_END = 65009;
inline constexpr int IDS_NOT_REGULAR_FILE = 65010;
inline constexpr int IDS_FILE_TOO_LARGE = 65011;

inline QString EditorString(int id)
{
    switch (id) {
    case IDS_LINE_TOO_SMALL:
        return QStringLiteral("Line number must be greater than 0");
    case IDS_LINE_BEYOND_END:
        return QStringLiteral("Line number is beyond end of document");
    case IDS_NOT_REGULAR_FILE:
        return QStringLiteral("%1 is not a regular file (a device, a pipe or a socket).");
    case IDS_FILE_TOO_LARGE:
        return QStringLiteral("%1 is larger than %2 MiB, more than the editor can hold.");
    default:
        return QString();
    }
}

inline QString ControlName(int id)
{
    return QString::number(id);
}

inline const QString kAppName = QStringLiteral("Quillon");
inline const QString kUntitled = QStringLiteral("Untitled");
