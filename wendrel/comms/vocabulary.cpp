#include "wendrel/vocabulary.h"

#include <cstdio>

namespace {

const char* const kNames[120] = {
    "MSG_ASSIGN_ADDRESS",
    "MSG_GET_ADDRESS",
    "MSG_CALL",
    "MSG_CLEAR",
    "MSG_CALLING",
    "MSG_PRIVATE",
    "MSG_BUSY",
    "MSG_ONLINE",
    "MSG_ENQ",
    "MSG_ACK",
    "MSG_RESET",
    "MSG_CALL_BACK",
    "MSG_X_FACTOR",
    "MSG_SYNC",
    "MSG_CLEAR_LOG",
    "MSG_GET_LOG_COUNT",
    "MSG_GET_LOG_EVENT",
    "MSG_CALL_CONCIERGE",
    "MSG_CALLING_CONCIERGE",
    "MSG_CALL_DOOR",
    "MSG_OPEN_DOOR",
    "MSG_CONCIERGE_OFF_DUTY",
    "MSG_GET_TIME",
    "MSG_CANCEL_CONC_CALL",
    "MSG_INTERCEPT",
    "MSG_PATCH",
    "MSG_FORCE_CALL",
    "MSG_CALL_FUNC",
    "MSG_ASSIGN_GLOBAL",
    "MSG_GET_GLOBAL",
    "MSG_ASSIGN_RANGE",
    "MSG_GET_RANGE",
    "MSG_ASSIGN_DOOR_ACCESS",
    "MSG_GET_DOOR_ACCESS",
    "MSG_NO_ACCESS",
    "MSG_CONC_INTERCEPT",
    "MSG_CONC_MONITOR",
    "MSG_CONC_STANDALONE",
    "MSG_DOOR_IS_OPEN",
    "MSG_SET_DOOR_TONE",
    "MSG_GET_DOOR_TONE",
    "MSG_SET_CONCIERGE_TONE",
    "MSG_GET_CONCIERGE_TONE",
    "MSG_ASSIGN_RANGE_OE",
    "MSG_GET_RANGE_OE",
    "MSG_DOOR_VERSION",
    "MSG_ENQ_DOOR",
    "MSG_SET_DECK_OPTIONS",
    "MSG_GET_DECK_OPTIONS",
    "MSG_SET_USER_CODE",
    "MSG_GET_USER_CODE",
    "MSG_REQUEST_TRADES",
    "MSG_ALLOW_TRADES",
    "MSG_DENY_TRADES",
    "MSG_CONNECTING",
    "MSG_SET_SERIAL_NUMBER",
    "MSG_GET_SERIAL_NUMBER",
    "MSG_SET_DOOR_SERIAL_NUMBER",
    "MSG_GET_DOOR_SERIAL_NUMBER",
    "MSG_SET_DOOR2_PARAM",
    "MSG_GET_DOOR2_PARAM",
    "MSG_SET_DOOR_WELCOME",
    "MSG_GET_DOOR_WELCOME",
    "MSG_SET_DOOR_BLOCK_OPERATION",
    "MSG_GET_DOOR_BLOCK_OPERATION",
    "MSG_SET_DOOR_BLOCK",
    "MSG_GET_DOOR_BLOCK",
    "MSG_KEY_ENQUIRY",
    "MSG_SET_KEY",
    "MSG_GET_KEY",
    "MSG_RANDOM_READ_LOG",
    "MSG_RANDOM_WRITE_LOG",
    "MSG_GET_MAX_LOG",
    "MSG_GET_FLAT_RFIDKEY",
    "MSG_SET_FLAT_RFIDKEY",
    "MSG_FIND_FLAT_RFIDKEY",
    "MSG_GET_PROG_RFIDKEY",
    "MSG_SET_PROG_RFIDKEY",
    "MSG_GET_CONT_RFIDKEY",
    "MSG_SET_CONT_RFIDKEY",
    "MSG_GET_DR_LINK",
    "MSG_SET_DR_LINK",
    "MSG_MAINS_FAIL",
    "MSG_BATTERY_LOW",
    "MSG_DOOR_IS_CLOSED",
    "MSG_GET_SPEED_DIAL",
    "MSG_SET_SPEED_DIAL",
    "MSG_GET_LOCAL_KEY",
    "MSG_SET_LOCAL_KEY",
    "MSG_STORE_PROG_RFIDKEY",
    "MSG_DELETE_PROG_RFIDKEY",
    "MSG_STORE_CONT_RFIDKEY",
    "MSG_DELETE_CONT_RFIDKEY",
    "MSG_STORE_LOCAL_KEY",
    "MSG_DELETE_LOCAL_KEY",
    "MSG_DELETE_ALL_PROG_RFIDKEY",
    "MSG_DELETE_ALL_CONT_RFIDKEY",
    "MSG_DELETE_ALL_LOCAL_KEY",
    "MSG_COUNT_ALL_RFID_KEYS",
    "MSG_SET_KX7_PARAM",
    "MSG_GET_KX7_PARAM",
    "MSG_GET_RELAY_REVERSE",
    "MSG_SET_RELAY_REVERSE",
    "MSG_ALARM_TRIGGER",
    "MSG_ALARM_RESET",
    "MSG_GET_RANGE_ACCESS",
    "MSG_SET_RANGE_ACCESS",
    "MSG_GET_TIME_PROFILE",
    "MSG_SET_TIME_PROFILE",
    "MSG_SCROLL_ADDRESS",
    "MSG_GET_SPEED_DIAL_NAME",
    "MSG_SET_SPEED_DIAL_NAME",
    "MSG_GET_WHITELIST",
    "MSG_SET_WHITELIST",
    "MSG_GET_RELAY_ADDRESS",
    "MSG_SET_RELAY_ADDRESS",
    "MSG_GET_BLACKLIST",
    "MSG_SET_BLACKLIST",
    "MSG_GET_CUSTOM_TEXT",
    "MSG_SET_CUSTOM_TEXT",
};

const char* const kNodeTypes[8] = {"Broadcast", "Flat",  "Door", "Concierge",
                                   "Engineer",  "Relay", "Deck", "Reader"};

// Undefined codes are named in one shared buffer; callers must not keep the pointer.
char g_undefinedName[16];

} // namespace

extern "C" WENDREL_API const char* MessageString(int code)
{
    if (code >= 1 && code <= 120)
        return kNames[code - 1];
    if (code == 190)
        return "MSG_DELETE_ALL_CHECK_PARAM";
    std::snprintf(g_undefinedName, sizeof g_undefinedName, "[%d]", code);
    return g_undefinedName;
}

extern "C" WENDREL_API const char* NodeTypeString(int type)
{
    if (type < 0 || type > 7)
        return "";
    return kNodeTypes[type];
}
