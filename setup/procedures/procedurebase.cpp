#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "modeltext.h"
#include "orvoprocedures/procedure.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

#include "orvomodel/orvosystem.h"

namespace orvoproc {

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

} // namespace orvoproc

using orvoproc::Format;

CBusProcedure::CBusProcedure(COrvoSerialConnection* conn, const CReadWriteParameters& params,
                             COrvoSystem* system, IProcedureHost* host, std::atomic<bool>* cancel)
    : CBusProcedure(new CSessionLink(*conn), params, system, host, cancel)
{
    m_ownedLink.reset(m_link);
}

CBusProcedure::CBusProcedure(IBusLink* link, const CReadWriteParameters& params, COrvoSystem* system,
                             IProcedureHost* host, std::atomic<bool>* cancel)
    : m_link(link), m_params(params), m_system(system), m_host(host), m_cancel(cancel)
{
}

CBusProcedure::~CBusProcedure() = default;

void CBusProcedure::Pause(int ms)
{
    m_pauseMs += ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool CBusProcedure::Send(int deck, int type, int number, int code, int count, const unsigned char* params,
                         _orvo_msg* reply)
{
    if (m_lost)
        return false;
    _orvo_msg request{};
    request.srcNode = NODE_ENGINEER;
    request.dstDeck = static_cast<unsigned char>(deck);
    request.dstNode = MakeNode(type, number);
    request.code = static_cast<unsigned char>(code);
    request.count = static_cast<unsigned char>(count);
    for (int i = 0; i < count && i < ORVO_MAX_PARAMS; ++i)
        request.param[i] = params[i];
    ++m_exchanges;
    // STX + 14 header characters + 2 per parameter + ETX.
    m_lineBytes += 16 + 2 * count;
    bool answered = m_link->Exchange(request, reply);
    if (answered && reply) {
        m_lineBytes += 16 + 2 * reply->count;
        m_replyBytes += 16 + 2 * reply->count;
    }
    if (!answered && reply)
        ++m_unanswered;
    if (!answered && m_link->IsLost()) {
        // Prompting again could only loop: stop the job and keep what was read.
        m_lost = true;
        SetCancel();
        m_host->ConnectionLost(kConnectionLostText);
    }
    return answered;
}

int CBusProcedure::PackParams(std::initializer_list<int> values, unsigned char* bytes)
{
    int count = 0;
    for (int value : values)
        bytes[count++] = static_cast<unsigned char>(value);
    return count;
}

bool CBusProcedure::Send(int deck, int type, int number, int code, std::initializer_list<int> params,
                         _orvo_msg* reply)
{
    unsigned char bytes[ORVO_MAX_PARAMS] = {};
    const int count = PackParams(params, bytes);
    return Send(deck, type, number, code, count, bytes, reply);
}

bool CBusProcedure::Ask(const std::string& prompt, int attempt)
{
    // The answer decides: a Cancel pressed while the request was waiting is
    // dropped, as the prompt asks the question afresh.
    m_cancel->store(false);
    RetryAnswer answer = m_host->AskRetry(prompt, attempt);
    if (answer == RetryAnswer::Cancel)
        SetCancel();
    return answer == RetryAnswer::Yes;
}

bool CBusProcedure::SendKnown(int deck, int type, int number, int code, int count,
                              const unsigned char* params, _orvo_msg* reply)
{
    if (Send(deck, type, number, code, count, params, reply))
        return true;
    // A lost frame on a busy bus is no reason to give up on a device that is
    // there; a request that wants no reply is never repeated.
    for (int retry = 0; reply && retry < m_quietRetries && !m_lost; ++retry) {
        ++m_quietResends;
        if (Send(deck, type, number, code, count, params, reply))
            return true;
    }
    return false;
}

bool CBusProcedure::SendKnown(int deck, int type, int number, int code, std::initializer_list<int> params,
                              _orvo_msg* reply)
{
    unsigned char bytes[ORVO_MAX_PARAMS] = {};
    const int count = PackParams(params, bytes);
    return SendKnown(deck, type, number, code, count, bytes, reply);
}

bool CBusProcedure::SendPrompted(int deck, int type, int number, int code, int count,
                                 const unsigned char* params, _orvo_msg* reply, const std::string& prompt)
{
    for (int attempt = 0;; ++attempt) {
        if (SendKnown(deck, type, number, code, count, params, reply))
            return true;
        if (m_lost || !Ask(prompt, attempt))
            return false;
    }
}

bool CBusProcedure::SendProbePrompted(int deck, int type, int number, int code, int count,
                                      const unsigned char* params, _orvo_msg* reply,
                                      const std::string& prompt)
{
    for (int attempt = 0;; ++attempt) {
        if (Send(deck, type, number, code, count, params, reply))
            return true;
        if (m_lost || !Ask(prompt, attempt))
            return false;
    }
}

void CBusProcedure::Lose(int deck, const std::string& element, const std::string& setting)
{
    if (m_lost)
        return;
    LostSetting lost{deck, element, setting};
    if (!m_lostSettings.empty() && m_lostSettings.back() == lost)
        return;
    m_lostSettings.push_back(std::move(lost));
}

std::string LostSetting::Text() const
{
    std::string text = "Deck " + std::to_string(deck);
    if (!element.empty())
        text += ", " + element;
    return text + ": " + setting;
}

bool CBusProcedure::SendPrompted(int deck, int type, int number, int code, std::initializer_list<int> params,
                                 _orvo_msg* reply, const std::string& prompt)
{
    unsigned char bytes[ORVO_MAX_PARAMS] = {};
    const int count = PackParams(params, bytes);
    return SendPrompted(deck, type, number, code, count, bytes, reply, prompt);
}

bool CBusProcedure::EnquireDeck(int n, _orvo_msg* reply)
{
    for (int attempt = 0;; ++attempt) {
        Pause(50);
        if (Send(n, NODE_DECK, 0, MSG_ENQ, 0, nullptr, reply))
            return true;
        // No: the caller moves to the next deck; Cancel: its loop ends on the flag.
        if (m_lost || !Ask(Format("Timeout waiting for reply from MSG_ENQ\nDeck %d, Retry ?", n), attempt))
            return false;
    }
}

int CBusProcedure::Finish(const char* summaryFormat, const char* lostVerb, int flats, int decks)
{
    // A range that holds decks but where none answered did nothing at all.
    m_noDeck = !Cancelled() && decks == 0 && m_params.FirstDeck() <= m_params.LastDeck();
    m_statusWord = Cancelled() ? "Cancelled" : m_noDeck ? "Incomplete" : "Complete";
    auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_start).count();
    std::string elapsedText = Format("Completed in %02d minutes and %02d seconds",
                                     static_cast<int>((elapsed / 60) % 60), static_cast<int>(elapsed % 60));
    std::string statusLine = m_statusWord;
    if (m_noDeck)
        statusLine = "Incomplete: no deck answered";
    if (!m_lostSettings.empty()) {
        statusLine +=
            Format(", but %d setting(s) could not be %s", static_cast<int>(m_lostSettings.size()), lostVerb);
        const size_t shown = std::min<size_t>(m_lostSettings.size(), 10);
        for (size_t i = 0; i < shown; ++i) {
            statusLine += '\n';
            statusLine += m_lostSettings[i].Text();
        }
        if (m_lostSettings.size() > shown)
            statusLine += "\n...";
    }
    m_summary = Format(summaryFormat, statusLine.c_str(), flats, decks, elapsedText.c_str());
    const bool extraLines = !m_summaryLines.empty();
    for (const std::string& line : m_summaryLines)
        m_summary += "\n" + line;
    m_summaryLines.clear();
    if (m_lost)
        m_summary = std::string(kConnectionLostText) + "\n" + m_summary;
    // A lost connection or lost settings are always reported: the installer
    // must know the job stopped short or left something out.
    const bool shortfall = m_lost || Incomplete();
    if (m_system->showResults || shortfall || extraLines) {
        PostText(m_statusWord);
        m_host->ShowSummary(m_statusWord, m_summary, Cancelled() || shortfall);
    }
    Pause(m_closingPauseMs);
    return Cancelled() ? kJobCancelled : kJobFinished;
}

std::string TagNumberText(const unsigned char* bytes)
{
    return Format("%02X%02X%02X%02X%02X", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4]);
}

void TagNumberBytes(const std::string& number, unsigned char* bytes)
{
    for (int i = 0; i < 5; ++i) {
        // Only the leading run of hexadecimal digits counts, as "%X" reads;
        // a pair that does not start with one gives 0.
        unsigned value = 0;
        for (int j = 0; j < 2; ++j) {
            size_t at = static_cast<size_t>(2 * i + j);
            if (at >= number.size() || !isxdigit(static_cast<unsigned char>(number[at])))
                break;
            char c = static_cast<char>(toupper(static_cast<unsigned char>(number[at])));
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'A' + 10);
        }
        bytes[i] = static_cast<unsigned char>(value);
    }
}
