// Command identifiers of the menus, tool bar and context menu. They stay the
// numbers the installer's documentation and the access-level rules refer to.
#pragma once

enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_PRINT_SETUP = 57606,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_FILE_MRU_FIRST = 57616,

    ID_ORVO_READ = 32771,
    ID_ORVO_WRITE = 32772,
    ID_EDIT_FLAT = 32773,
    ID_EDIT_DECK = 32775,
    ID_ORVO_REBOOT = 32776,
    ID_ORVO_MONITOR = 32777,
    ID_ORVO_LOGGING = 32778,
    ID_ORVO_CHECK_DUPLICATES = 32779,
    ID_ORVO_OPTIONS = 32780,
    ID_READ_DECK = 32781,
    ID_WRITE_DECK = 32782,
    ID_VIEW_PASSWORDS = 32784,
    ID_EDIT_SYSTEM = 32785,
    ID_EDIT_DOOR = 32786,
    ID_ORVO_CLOCK = 32787,
    ID_TEST_LOGGING = 32790,
    ID_TEST_MESSAGING = 32791,
    ID_TEST_RFID = 32792,
    ID_ADD_DECKS = 32796,
    ID_ADD_FLATS = 32797,
    ID_ADD_DOORS = 32798,
    ID_EDIT_RELAY = 32800,
    ID_CONFIGURE_KX7 = 32802,
    ID_UPGRADE_OPTION = 32803,
    ID_CONFIGURE_RELAY = 32804,
    ID_CONFIGURE_DOOR = 32805,
    ID_TEST_EMC = 32810,
    ID_FILE_IMPORT_KEY_TAGS = 32950,
    ID_FILE_EXPORT_KEY_TAGS = 32951,
    ID_FILE_REPORT = 32952, // the commissioning report
    ID_FILE_RESTORE_POINTS = 32953,
    ID_ORVO_COMPARE = 32820, // Compare with Installation
    ID_ORVO_WRITE_CHANGES = 32821,
    ID_WRITE_DECK_CHANGES = 32822,
};

// Commands enabled only for full access (access level 0).
inline bool IsFullAccessCommand(int id)
{
    switch (id) {
    case ID_ORVO_WRITE:
    case ID_ORVO_WRITE_CHANGES:
    case ID_WRITE_DECK_CHANGES:
    case ID_ORVO_COMPARE:
    case ID_ORVO_LOGGING:
    case ID_ORVO_OPTIONS:
    case ID_VIEW_PASSWORDS:
    case ID_ORVO_CLOCK:
    case ID_TEST_LOGGING:
    case ID_TEST_MESSAGING:
    case ID_TEST_RFID:
        return true;
    default:
        return false;
    }
}

// Commands whose work is a dialog contributed by another part: enabled only
// while that dialog is registered.
inline bool IsFeatureCommand(int id)
{
    switch (id) {
    case ID_EDIT_SYSTEM:
    case ID_ADD_DECKS:
    case ID_EDIT_DECK:
    case ID_ADD_FLATS:
    case ID_ADD_DOORS:
    case ID_EDIT_DOOR:
    case ID_EDIT_RELAY:
    case ID_EDIT_FLAT:
    case ID_ORVO_REBOOT:
    case ID_ORVO_MONITOR:
    case ID_ORVO_LOGGING:
    case ID_ORVO_CLOCK:
    case ID_TEST_LOGGING:
    case ID_TEST_MESSAGING:
    case ID_TEST_RFID:
    case ID_TEST_EMC:
    case ID_CONFIGURE_KX7:
    case ID_CONFIGURE_DOOR:
    case ID_CONFIGURE_RELAY:
    case ID_ORVO_OPTIONS:
    case ID_VIEW_PASSWORDS:
    case ID_FILE_IMPORT_KEY_TAGS:
    case ID_FILE_EXPORT_KEY_TAGS:
        return true;
    default:
        return false;
    }
}
