// What the show / set commands of one device share (orvoctl door, orvoctl
// relay): the action word, the bus options, --deck (0-254) and the device's
// own number option (0-15), and for set the one input file.
#pragma once

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <memory>
#include <string>

#include "bus.h"

// What the command prints when its arguments are unusable.
struct DeviceCommandTexts {
    const char* usage;     // printed for -h and --help
    std::string badAction; // a whole line, for an action other than show or set
    const char* badDeck;   // after "<command>: ", for --deck missing or out of range
    const char* badNumber; // the same for the device's number option
};

class CDeviceCommand {
public:
    CDeviceCommand(DeviceCommandTexts texts, const QCommandLineOption& deck,
                   const QCommandLineOption& number);
    ~CDeviceCommand();

    // For options of the device's own; add them before Parse.
    QCommandLineParser& Parser() { return m_parser; }
    // args: "orvoctl door", the action, then its arguments. False when the
    // command is done, with *status its exit status: 0 after the help, 2
    // for unusable arguments or an input file that cannot be read.
    bool Parse(const QStringList& args, int* status);

    bool IsSet() const { return m_set; }
    int Deck() const { return m_deck; }
    int Number() const { return m_number; }
    // set: the input file as named and as read.
    std::string InputPath() const;
    const QByteArray& Input() const { return m_input; }
    CBusSession& Bus() { return *m_bus; }

private:
    DeviceCommandTexts m_texts;
    QCommandLineOption m_deckOption;
    QCommandLineOption m_numberOption;
    QCommandLineParser m_parser;
    BusOptions m_options;
    std::unique_ptr<CBusSession> m_bus;
    bool m_set = false;
    int m_deck = 0;
    int m_number = 0;
    QByteArray m_input;
};
