// Resource identifiers of the executable.
#pragma once

#define IDI_APP            101  // program icon; also the plain folder icon of the tree
#define IDI_TB_FORWARD     106
#define IDI_TB_BACK        107
#define IDI_TB_COPY        108
#define IDI_TB_REMOVE      110
#define IDI_TB_NEWFOLDER   113
#define IDI_TB_UP          114
#define IDI_TB_REFRESH     115
#define IDI_APPMARK_2      116  // application mark drawn for appMarkStyle 2
#define IDI_APPMARK_1      118  // application mark drawn for appMarkStyle 1
#define IDI_APPMARK_0      119  // application mark drawn for appMarkStyle 0
#define IDI_MUSIC_FOLDER   121
#define IDI_IMAGE_FOLDER   122
#define IDI_MUSIC_ITEM     125
#define IDI_MUSIC_PLAYING  128
#define IDI_CLOSE          129
#define IDI_CLOSE_HOT      130
#define IDD_TAB_PAGE       131  // the empty page of a tab control, filled in code
#define IDI_TB_FIND        132
