// The ids of the resource module's strings and dialog controls, shared by the resource
// scripts (strings.rc, dialogs.rc) and the code that loads the strings and reads the
// controls. Only #define lines of plain numbers, so the resource compilers read it too.
#pragma once

// Names of the remote system types; the name of HostType n is string n - 1.
#define IDS_HOST_OTHER_UNDETECTED 0
#define IDS_HOST_DOS 1
#define IDS_HOST_MACINTOSH 2
#define IDS_HOST_MVS 3
#define IDS_HOST_BRANNOCK 4
#define IDS_HOST_OS2 5
#define IDS_HOST_UNIX 6
#define IDS_HOST_VM 7
#define IDS_HOST_VMS 8
#define IDS_HOST_NT_DOS 9
#define IDS_HOST_NT_UNIX 10
#define IDS_HOST_WINDOWS_95 11
#define IDS_HOST_OTHER 12

// The caption and texts of the message a refused transfer option brings up.
#define IDS_OPTION_ERROR_CAPTION 14
#define IDS_NO_BINARY_TYPE 15
#define IDS_NO_ASCII_TYPE 16
#define IDS_NO_FILE_STRUCTURE 17
#define IDS_NO_RECORD_STRUCTURE 18
#define IDS_NO_LOCAL_BYTE_TYPE 19

// A listing that did not fit in memory.
#define IDS_LISTING_INCOMPLETE 20

// The question of the system-type dialog.
#define IDS_AUTODETECT_QUESTION 21

// Labels and other controls that nothing reads.
#define IDC_STATIC (-1)

// Prompts for a password (user or account) and for a user name.
#define IDC_PROMPT_PASSWORD 500
#define IDC_PROMPT_USERNAME 501

// The system-type dialog: its question and the list of system names.
#define IDC_AUTODETECT_TEXT 807
#define IDC_AUTODETECT_LIST 808

// The protocol window: the command to send (its "Send" button is IDOK), the log, the two
// check boxes that choose what is logged, and its buttons.
#define IDC_PROTOCOL_COMMAND 800
#define IDC_PROTOCOL_LOG 802
#define IDC_PROTOCOL_REQUESTS 803
#define IDC_PROTOCOL_REPLIES 804
#define IDC_PROTOCOL_COPY 805
#define IDC_PROTOCOL_CLEAR 806
#define IDC_PROTOCOL_HELP 200

// The file type question: the server's system and the file's name, the ASCII and binary
// choice, the four line-end conventions of text, the same-type check box and the buttons
// (Cancel is IDCANCEL).
#define IDC_HOST_TYPE_NAME 301
#define IDC_FILETYPE_NAME 600
#define IDC_FILETYPE_ASCII 400
#define IDC_FILETYPE_BINARY 401
#define IDC_FILETYPE_CR 605
#define IDC_FILETYPE_LF 606
#define IDC_FILETYPE_CRLF 607
#define IDC_FILETYPE_CR_CRLF_FF 608
#define IDC_FILETYPE_SAME_TYPE 601
#define IDC_FILETYPE_TRANSFER 602
#define IDC_FILETYPE_SKIP 603
#define IDC_FILETYPE_HELP 200

// The transfer options dialog: the type and structure radio pairs with their labels, the
// check boxes of local byte 8, port selection, directory parsing, the program's choice of
// type and disabled text conversion (in its group box), and the buttons (OK and Cancel
// are IDOK and IDCANCEL).
#define IDC_OPTIONS_ASCII 400
#define IDC_OPTIONS_BINARY 401
#define IDC_OPTIONS_LOCAL_BYTE8 402
#define IDC_OPTIONS_FILE 403
#define IDC_OPTIONS_RECORD 404
#define IDC_OPTIONS_SELECT_PORT 405
#define IDC_OPTIONS_PARSE_DIRS 406
#define IDC_OPTIONS_DETERMINE 407
#define IDC_OPTIONS_SAVE 408
#define IDC_OPTIONS_TYPE_LABEL 409
#define IDC_OPTIONS_STRUCTURE_LABEL 410
#define IDC_OPTIONS_CHARSET_GROUP 412
#define IDC_OPTIONS_NO_CONVERSION 413
#define IDC_OPTIONS_HELP 200

// The status dialog: the host name, the remote system's name (IDC_HOST_TYPE_NAME, as in
// the file type question), the working directory, the logon message and the icon.
#define IDC_STATUS_HOST 300
#define IDC_STATUS_PATH 302
#define IDC_STATUS_LOGON 303
#define IDC_STATUS_ICON 106
