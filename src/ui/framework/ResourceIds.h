#pragma once
// Resource identifiers shared by the resource scripts in res/ and the code. The resource compiler reads this
// file too, so it holds nothing but plain #define lines.

// Dialog templates.
#define IDD_MAIN 102
#define IDD_OPTIONS 104
#define IDD_SEARCH_BAR 137
#define IDD_TAG 154

// Program icon and hand cursor.
#define IDI_PROGRAM 101
#define IDC_HAND_LINK 105

// Toolbar icons.
#define IDI_OPTIONS 107
#define IDI_SAVE 117
#define IDI_LOG 129
#define IDI_CLEAR 130
#define IDI_SEARCH 138
#define IDI_HEX 170

// Port-kind icons: a generic port, the USB adapter vendors, and the kinds of command-line target.
#define IDI_PORT_GENERIC 110
#define IDI_PORT_FTDI 131
#define IDI_PORT_STM 132
#define IDI_PORT_SILABS 135
#define IDI_PORT_QINHENG 136
#define IDI_PORT_NORDIC 140
#define IDI_PORT_NXP 141
#define IDI_PORT_ESPRESSIF 143
#define IDI_PORT_ARM 145
#define IDI_PORT_PIPE 150
#define IDI_PORT_TCP 151
#define IDI_PORT_SEGGER 152
#define IDI_PORT_PROLIFIC 153
#define IDI_PORT_UDP 155
#define IDI_PORT_CYPRESS 156

// Combo-box item icons of the options dialog.
#define IDI_ITEM_RATE 112
#define IDI_PARITY_ODD 118
#define IDI_PARITY_EVEN 119
#define IDI_PARITY_NONE 120
#define IDI_STOP_BITS_ONE_HALF 125
#define IDI_STOP_BITS_ONE 126
#define IDI_STOP_BITS_TWO 127
#define IDI_ITEM_FONT 133
#define IDI_ITEM_TIME_FORMAT 139

// Terminal view and filter field.
#define IDI_SCROLL_TO_END 144
#define IDI_FILTER 146
#define IDI_FILTER_ACTIVITY_2 147
#define IDI_FILTER_ACTIVITY_1 148
#define IDI_FILTER_ACTIVITY_3 149

// Controls of the main window (102).
#define IDC_WEB_LINK 1015
#define IDC_FILTER 1044

// Controls of the options dialog (104).
#define IDC_OK 1003
#define IDC_CANCEL 1009
#define IDC_OPTIONS_AUTO_UPDATE 1008
#define IDC_OPTIONS_BAUD_RATE 1006
#define IDC_OPTIONS_SEND_DELAY 1007
#define IDC_OPTIONS_PARITY 1010
#define IDC_OPTIONS_STOP_BITS 1011
#define IDC_OPTIONS_FONT 1012
#define IDC_OPTIONS_FONT_SIZE 1013
#define IDC_OPTIONS_TIME_FORMAT 1014
#define IDC_OPTIONS_BAUD_RATE_LABEL 1029
#define IDC_OPTIONS_PARITY_LABEL 1030
#define IDC_OPTIONS_SEND_DELAY_LABEL 1031
#define IDC_OPTIONS_STOP_BITS_LABEL 1035
#define IDC_OPTIONS_FONT_LABEL 1036
#define IDC_OPTIONS_BOLD 1037
#define IDC_OPTIONS_TIME_FORMAT_LABEL 1038
#define IDC_OPTIONS_TEXT_FILES_LABEL 1260
#define IDC_OPTIONS_TEXT_FILES 1261

// Controls of the search bar (137).
#define IDC_SEARCH_TEXT 1039
#define IDC_SEARCH_NEXT 1040
#define IDC_SEARCH_PREVIOUS 1041
#define IDC_SEARCH_CASE 1042

// Controls of the tag dialog (154).
#define IDC_TAG_TEXT 1045
#define IDC_TAG_LABEL 1046

// Interface strings.
#define IDS_PARITY_NONE 1
#define IDS_PARITY_EVEN 2
#define IDS_PARITY_ODD 3
#define IDS_OPTIONS 24
#define IDS_SAVE 27
#define IDS_START 28
#define IDS_STOP 29
#define IDS_SELECT 30
#define IDS_BAUD_RATE 33
#define IDS_PARITY 34
#define IDS_AUTO_UPDATE 41
#define IDS_OK 42
#define IDS_CANCEL 43
#define IDS_STOP_BITS_1 48
#define IDS_STOP_BITS_1_5 49
#define IDS_STOP_BITS_2 50
#define IDS_STOP_BITS 51
#define IDS_WRITE_LOG 52
#define IDS_SELECT_LOG_FILE 54
#define IDS_CLEAR 55
#define IDS_SAVE_FILTER 56
#define IDS_SAVE_TITLE 57
#define IDS_LOG_FILTER 59
#define IDS_LOG_TITLE 60
#define IDS_FONT 61
#define IDS_BOLD 62
#define IDS_CASE_SENSITIVE 63
#define IDS_WHOLE_WORD 64
#define IDS_SEARCH 65
#define IDS_TIME_FORMAT 66
#define IDS_STATUS_SEARCHING 67
#define IDS_STATUS_OPENING 68
#define IDS_STATUS_OPENED 69
#define IDS_STATUS_OPEN_FAILED 70
#define IDS_STATUS_CLOSING 71
#define IDS_STATUS_CLOSED 72
#define IDS_FILTER_CUE 73
#define IDS_TAG 74
#define IDS_SEND_DELAY 75
#define IDS_TEXT_FILES 260
#define IDS_TEXT_FILES_UTF8 261
#define IDS_TEXT_FILES_ANSI 262
#define IDS_LOG_WRITE_FAILED 263
#define IDS_HEX 264
#define IDS_SAVE_HEX_FILTER 265
#define IDS_SAVE_HEX_TITLE 266
#define IDS_SAVE_FAILED 267
