/* Resource identifiers shared by skeind.rc and the C++ sources.
   Only #define lines: the resource compiler reads this file too. */
#ifndef SKEIND_RES_RESOURCE_H
#define SKEIND_RES_RESOURCE_H

/* Program version, used by the version resource.  The letter of
   "1.0.16d" becomes the fourth number (a = 1, ..., d = 4). */
#define SKEIND_VERSION_MAJOR    1
#define SKEIND_VERSION_MINOR    0
#define SKEIND_VERSION_RELEASE  16
#define SKEIND_VERSION_LETTER   4
#define SKEIND_VERSION_TEXT     "1.0.16d"

/* ---- String table ------------------------------------------------- */

/* Program identity. */
#define IDS_PROGRAM_TITLE               0
#define IDS_HELP_FILE                   1
#define IDS_ANNOTATION_TO               2
#define IDS_VERSION_WORD                4

/* Start-up and workspace file. */
#define IDS_CREATE_WORKSPACE_QUESTION   5
#define IDS_TWO_WORKSPACE_NAMES         14
#define IDS_CANNOT_CREATE_WORKSPACE     78
#define IDS_WORKSPACE_DAMAGED           87
#define IDS_WORKSPACE_IN_USE            88

/* Saved sessions: the save and restore dialogs' messages. */
#define IDS_SESSION_NAME_EXISTS         3
#define IDS_SESSION_NOT_CHOSEN          6

/* DDE failure templates and caption. */
#define IDS_DDE_INIT_FAILED             8
#define IDS_DDE_REGISTER_FAILED         9
#define IDS_DDE_CONNECT_FAILED          10
#define IDS_DDE_TRANSACTION_FAILED      11
#define IDS_DDE_CAPTION                 12

/* Annotation dialog. */
#define IDS_ANNOTATION_NEEDS_TITLE      15
#define IDS_ANNOTATION_NOT_STORED       16

/* Browser dialogs. */
#define IDS_DEFAULT_BROWSER_NAME        17
#define IDS_RECOMMENDED_BROWSER        27
#define IDS_FIND_BROWSER_TITLE          102
#define IDS_PROGRAM_FILE_FILTER         103
#define IDS_OVERWRITE_DOCTORED          104
#define IDS_CANNOT_COPY_PROGRAM         105
#define IDS_CANNOT_DOCTOR               106
#define IDS_CANNOT_REMOVE_KEY           107
#define IDS_REMOVE_BROWSER_QUESTION     108

/* Menu help: a command's status-bar text has the command's number. */
#define IDS_CMD_EXIT                    18
#define IDS_CMD_TOOLBAR                 19
#define IDS_CMD_STATUS_BAR              20
#define IDS_CMD_NEW_WINDOW              21
#define IDS_CMD_HELP_CONTENTS           22
#define IDS_CMD_HELP_INDEX              23
#define IDS_CMD_ABOUT                   24
#define IDS_CMD_FONT                    25
#define IDS_CMD_OPTIONS                 26
#define IDS_CMD_PIN_DOWN                35
#define IDS_CMD_OPEN                    36
#define IDS_CMD_NEW_ANNOTATION          39
#define IDS_CMD_HIDE_LINKS              40
#define IDS_CMD_SHOW_LINKS              41
#define IDS_CMD_UPDATE                  42
#define IDS_CMD_SAVE_SNAPSHOT           43
#define IDS_CMD_RESTORE_SNAPSHOT        44
#define IDS_CMD_COPY_ADDRESS            45
#define IDS_CMD_PASTE_ADDRESS           46
#define IDS_CMD_OPEN_NEW_WINDOW         47
#define IDS_CMD_TIDY                    81
#define IDS_CMD_UNDO                    98
#define IDS_CMD_DELETE                  99

/* Menu help for the popups of the menu bar. */
#define IDS_POPUP_FILE                  48
#define IDS_POPUP_EDIT                  49
#define IDS_POPUP_VIEW                  50
#define IDS_POPUP_HELP                  51
#define IDS_POPUP_PAGE                  52

/* DDE error texts: the text of DDE error code c is IDS_DDE_ERROR_BASE
   + (c - 0x4000), for c from 0x4000 to 0x4011. */
#define IDS_DDE_ERROR_BASE              53
#define IDS_DDE_ERR_ADVACKTIMEOUT       53
#define IDS_DDE_ERR_BUSY                54
#define IDS_DDE_ERR_DATAACKTIMEOUT      55
#define IDS_DDE_ERR_DLL_NOT_INITIALIZED 56
#define IDS_DDE_ERR_DLL_USAGE           57
#define IDS_DDE_ERR_EXECACKTIMEOUT      58
#define IDS_DDE_ERR_INVALIDPARAMETER    59
#define IDS_DDE_ERR_LOW_MEMORY          60
#define IDS_DDE_ERR_MEMORY_ERROR        61
#define IDS_DDE_ERR_NOTPROCESSED        62
#define IDS_DDE_ERR_NO_CONV_ESTABLISHED 63
#define IDS_DDE_ERR_POKEACKTIMEOUT      64
#define IDS_DDE_ERR_POSTMSG_FAILED      65
#define IDS_DDE_ERR_REENTRANCY          66
#define IDS_DDE_ERR_SERVER_DIED         67
#define IDS_DDE_ERR_SYS_ERROR           68
#define IDS_DDE_ERR_UNADVACKTIMEOUT     69
#define IDS_DDE_ERR_UNFOUND_QUEUE_ID    70
#define IDS_DDE_ERROR_LAST              70

/* View options sheet. */
#define IDS_VIEW_PAGE_TITLE             72

/* Browser link. */
#define IDS_BROWSER_UPDATE_BUSY        73

/* Edit menu item texts that change with the state of the map. */
#define IDS_UNDO_DELETE_PAGES           90
#define IDS_UNDO_NOTHING                91
#define IDS_DELETE_PAGE                 92
#define IDS_DELETE_LINKED_PAGES         93
#define IDS_DELETE_SELECTED_PAGES       94
#define IDS_DELETE_NOTHING              95
#define IDS_UNDO_DELETE_PAGE            96

/* Program file renaming. */
#define IDS_CANNOT_OPEN_COFF            100
#define IDS_CANNOT_OPEN_NE              101

/* Display name of the root of local files. */
#define IDS_LOCAL_DISC_FILES            109

/* Error boxes: caption and the texts of the error codes. */
#define IDS_ERROR_CAPTION               256
#define IDS_ERR_NONE                    257
#define IDS_ERR_FILE_IN_USE             258
#define IDS_ERR_MISSING_OR_DAMAGED      259
#define IDS_ERR_WRONG_FORMAT            260
#define IDS_ERR_IMPORT_NOT_FOUND        261
#define IDS_ERR_FILE_EXISTS             262
#define IDS_ERR_NO_DIRECTORY            263
#define IDS_ERR_BAD_NAME                264
#define IDS_ERR_NO_FILE                 265

/* Numbers chosen here.  These texts live in the string table but had
   no fixed number; they take the otherwise unused range from 300 on,
   one block of ten per area, so that a block can grow without
   renumbering its neighbours.
     300-309  titles of the program's own nodes and host groups,
              and the workspace-full notice
     310-319  start-up
     320-329  saved sessions
     330-339  progress texts of the start-up check
     340-349  main window */
#define IDS_VISITED_SITES_TITLE         300
#define IDS_SAVED_SESSIONS_TITLE        301
#define IDS_GROUP_NAMES_ENDING          302
#define IDS_GROUP_NUMERIC               303
#define IDS_GROUP_LOCAL                 304
#define IDS_WORKSPACE_FULL              305
#define IDS_UNKNOWN_KEYWORD             310
#define IDS_SESSION_DELETE              320
#define IDS_CHECK_START                 330
#define IDS_CHECK_EMPTY                 331
#define IDS_CHECK_PAGES                 332
#define IDS_CHECK_REPAIR                333
#define IDS_CREATING_WINDOWS            340
#define IDS_UNKNOWN_COMMAND             341

// Bitmaps: the page icons, the connector glyphs and the selection mark of
// the map (made at build time from res/bitmaps/*.txt).
#define IDB_SELECTION_MARK              111
#define IDB_LINK_GLYPHS                 118
#define IDB_PAGE_ICONS                  121

/* Dialogs and their controls, the program's and the browser dialogs'
   icons and the About picture (res/dialogs.rc). */
#define IDI_PROGRAM                     103
#define IDI_BROWSER                     104
#define IDI_ADD_BROWSER                 105
#define IDD_ABOUT                       107
#define IDD_ANNOTATION                  117
#define IDD_VIEW_PAGE                   119
#define IDD_START_BROWSER               138
#define IDD_ADD_BROWSER                 139
#define IDB_ABOUT_PICTURE               146
#define IDC_ABOUT_PICTURE               1000
#define IDC_ABOUT_TEXT                  1001
#define IDC_ABOUT_ICON                  1004
#define IDC_ANNOTATION_TITLE            1010
#define IDC_ANNOTATION_CONTENT          1016
#define IDC_ANNOTATION_TO               1019
#define IDC_SHOW_NORMAL_LINKS           1020
#define IDC_SHOW_ANNOTATIONS            1021
#define IDC_SHOW_SEARCHES               1022
#define IDC_SHOW_REDIRECTIONS           1023
#define IDC_SHOW_INLINE_IMAGES          1024
#define IDC_SHOW_GENERIC_LINKS          1025
#define IDC_REATTACH_TO_OPEN_PAGE       1026
#define IDC_KEEP_LINKED_PAGE_PLACE      1027
#define IDC_BROWSER_LIST                1028
#define IDC_ADD_BROWSER                 1029
#define IDC_REMOVE_BROWSER              1030
#define IDC_PROGRAM_FILE                1032
#define IDC_BROWSE_PROGRAM              1033
#define IDC_SERVICE_NAME                1034
#define IDC_BROWSER_DESCRIPTION         1035
#define IDC_GUESS_SERVICE               1036
#define IDC_SPECIFY_SERVICE             1037

#endif /* SKEIND_RES_RESOURCE_H */
