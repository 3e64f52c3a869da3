#include "devicecommand.h"

#include <utility>

#include "commands.h"

CDeviceCommand::CDeviceCommand(DeviceCommandTexts texts, const QCommandLineOption& deck,
                               const QCommandLineOption& number)
    : m_texts(std::move(texts)), m_deckOption(deck), m_numberOption(number)
{
    m_options.AddTo(m_parser);
    m_parser.addOptions({m_deckOption, m_numberOption});
}

CDeviceCommand::~CDeviceCommand() = default;

bool CDeviceCommand::Parse(const QStringList& args, int* status)
{
    const QString action = args.value(1);
    if (action == QLatin1String("-h") || action == QLatin1String("--help")) {
        PrintOut(m_texts.usage);
        *status = kExitOk;
        return false;
    }
    m_set = action == QLatin1String("set");
    *status = kExitUsage;
    if (!m_set && action != QLatin1String("show")) {
        PrintError(m_texts.badAction);
        return false;
    }
    // The parser names the command with its action: "orvoctl door set".
    QStringList rest = args.mid(2);
    rest.prepend(args.value(0) + QLatin1Char(' ') + action);
    m_bus = std::make_unique<CBusSession>(rest.value(0));
    if (!m_bus->ParseArguments(m_parser, m_options, rest, m_set ? 1 : 0, m_texts.usage, status))
        return false;
    if (!ParseNumberOption(m_parser, m_deckOption, 0, 254, &m_deck))
        return m_bus->Usage(m_texts.badDeck);
    if (!ParseNumberOption(m_parser, m_numberOption, 0, 15, &m_number))
        return m_bus->Usage(m_texts.badNumber);
    return !m_set || ReadInputFile(m_parser.positionalArguments().at(0), m_bus->Name(), &m_input);
}

std::string CDeviceCommand::InputPath() const
{
    return m_set ? m_parser.positionalArguments().at(0).toStdString() : std::string();
}
