// The read and write jobs of the installation, free of widgets.
//
// A job runs on whatever thread calls Run(): it talks to the bus through the
// open session, writes into the model, and reaches its front end (progress
// dialog or command line) only through IProcedureHost. Cancel is a flag the
// front end raises and the job polls between steps.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "orvomodel/changerecord.h"
#include "orvoprocedures/readwriteparameters.h"
#include "wendrel/buslink.h"

class COrvoSerialConnection;
class COrvoSystem;

enum class RetryAnswer { Yes, No, Cancel };

// What a job needs from its front end. Every call comes from the job's thread.
class IProcedureHost {
public:
    virtual ~IProcedureHost() = default;
    virtual void SetRange(int lower, int upper) = 0;
    virtual void SetPos(int pos) = 0;
    virtual void SetText(const std::string& text) = 0;
    // A device did not answer. attempt counts the earlier Yes answers given for
    // this very request (0 on the first prompt), so a scripted answerer can
    // give up after a few retries.
    virtual RetryAnswer AskRetry(const std::string& text, int attempt) = 0;
    // The end-of-job box; only called when the system's showResults is on.
    virtual void ShowSummary(const std::string& caption, const std::string& text, bool error) = 0;
    // The job stopped because the adapter or its port went away.
    virtual void ConnectionLost(const std::string& text) { (void)text; }
};

// A setting whose request got no reply, even after the quiet retries and
// the installer's answers: the model keeps (read) or the installation may
// lack (write) its value.
struct LostSetting {
    int deck = 0;
    std::string element; // "Door 3", "Flat 5", "Relay 2"; empty for the deck itself
    std::string setting; // "welcome line 1", "address", "key 4", ...
    // "Deck 0, Door 3: welcome line 1", "Deck 0: serial number"
    std::string Text() const;
    bool operator==(const LostSetting& other) const
    {
        return deck == other.deck && element == other.element && setting == other.setting;
    }
};

// Quiet retries of a request to a device known to be there, by default.
inline constexpr int kDefaultQuietRetries = 2;

// What every bus feature says when the adapter or its port went away.
inline constexpr const char* kConnectionLostText =
    "Connection lost: the serial adapter or its port has gone away.";

// Result codes of a job, as the progress dialog ends with them.
constexpr int kJobFinished = 1;
constexpr int kJobCancelled = 2;

class CBusProcedure {
public:
    CBusProcedure(COrvoSerialConnection* conn, const CReadWriteParameters& params, COrvoSystem* system,
                  IProcedureHost* host, std::atomic<bool>* cancel);
    // For a link other than the session (the session constructor wraps one).
    CBusProcedure(IBusLink* link, const CReadWriteParameters& params, COrvoSystem* system,
                  IProcedureHost* host, std::atomic<bool>* cancel);
    virtual ~CBusProcedure();
    CBusProcedure(const CBusProcedure&) = delete;
    CBusProcedure& operator=(const CBusProcedure&) = delete;

    // Runs the whole job; returns kJobFinished or kJobCancelled.
    virtual int Run() = 0;

    bool ConnectionWasLost() const { return m_lost; }
    // The summary text as the box shows it (built even when the box is off).
    const std::string& Summary() const { return m_summary; }
    const std::string& StatusWord() const { return m_statusWord; }
    long Exchanges() const { return m_exchanges; }
    // Exchanges that wanted a reply and got none within the reply time-out.
    long Unanswered() const { return m_unanswered; }
    long PauseMs() const { return m_pauseMs; }
    // Frame bytes on the line (request and reply frames, STX/ETX included).
    long LineBytes() const { return m_lineBytes; }
    long ReplyBytes() const { return m_replyBytes; }

    // Shorter end pause for callers that do not show a closing dialog.
    void SetClosingPause(int ms) { m_closingPauseMs = ms; }

    // How often a request to a device known to be there is repeated without
    // a word before it counts as unanswered (0: never).
    void SetQuietRetries(int retries) { m_quietRetries = retries < 0 ? 0 : retries; }
    int QuietRetries() const { return m_quietRetries; }
    // Requests sent again quietly during the job.
    long QuietResends() const { return m_quietResends; }
    // Every setting that stayed unanswered, in the order met.
    const std::vector<LostSetting>& LostSettings() const { return m_lostSettings; }
    // No deck of a non-empty range answered its enquiry.
    bool NoDeckAnswered() const { return m_noDeck; }
    // The job ran to its end but did not do all it should have.
    bool Incomplete() const { return m_noDeck || !m_lostSettings.empty(); }

protected:
    bool Cancelled() const { return m_cancel->load(); }
    void SetCancel() { m_cancel->store(true); }
    void Pause(int ms);
    void PostText(const std::string& text) { m_host->SetText(text); }
    void PostPos(int pos) { m_host->SetPos(pos); }

    // One exchange. count parameters from params (the rest 0).
    bool Send(int deck, int type, int number, int code, int count, const unsigned char* params,
              _orvo_msg* reply);
    bool Send(int deck, int type, int number, int code, std::initializer_list<int> params, _orvo_msg* reply);
    // Sends the request until it is answered or the installer gives up:
    // Yes sends again, No returns false, Cancel raises the cancel flag and
    // returns false. A lost connection never prompts.
    bool SendPrompted(int deck, int type, int number, int code, int count, const unsigned char* params,
                      _orvo_msg* reply, const std::string& prompt);
    bool SendPrompted(int deck, int type, int number, int code, std::initializer_list<int> params,
                      _orvo_msg* reply, const std::string& prompt);
    // The same for a device whose silence may be normal (a flat slot): no
    // quiet retries before the prompt.
    bool SendProbePrompted(int deck, int type, int number, int code, int count, const unsigned char* params,
                           _orvo_msg* reply, const std::string& prompt);
    // A request to a device known to be there: repeated quietly up to the
    // quiet-retry count while no reply comes.
    bool SendKnown(int deck, int type, int number, int code, int count, const unsigned char* params,
                   _orvo_msg* reply);
    bool SendKnown(int deck, int type, int number, int code, std::initializer_list<int> params,
                   _orvo_msg* reply);
    // Records a setting that stayed unanswered (not after the connection was
    // lost: that is reported on its own). A repeat of the last one is dropped.
    void Lose(int deck, const std::string& element, const std::string& setting);
    // Asks the installer; records Cancel. Returns true for Yes.
    bool Ask(const std::string& prompt, int attempt);
    // The deck's MSG_ENQ, paced and asked again until answered; false when the
    // installer skips the deck, cancels, or the connection is lost.
    bool EnquireDeck(int n, _orvo_msg* reply);
    // Puts the values into bytes as parameter bytes; returns how many.
    static int PackParams(std::initializer_list<int> values, unsigned char* bytes);
    bool Lost() const { return m_lost; }

    // The common end of both jobs: status, summary box, pause, result.
    // lostVerb ("read", "written") completes "%d setting(s) could not be %s".
    int Finish(const char* summaryFormat, const char* lostVerb, int flats, int decks);
    // A line the summary must carry after its designed text; with one, the
    // summary is shown even when results are not.
    void AddSummaryLine(const std::string& line) { m_summaryLines.push_back(line); }

    IBusLink* m_link;
    std::unique_ptr<IBusLink> m_ownedLink; // the session's link, when built from one
    CReadWriteParameters m_params;
    COrvoSystem* m_system;
    IProcedureHost* m_host;
    std::atomic<bool>* m_cancel;
    std::chrono::steady_clock::time_point m_start;

private:
    bool m_lost = false;
    std::string m_summary;
    std::string m_statusWord;
    long m_exchanges = 0;
    long m_unanswered = 0;
    long m_pauseMs = 0;
    long m_lineBytes = 0;
    long m_replyBytes = 0;
    int m_closingPauseMs = 500;
    int m_quietRetries = kDefaultQuietRetries;
    long m_quietResends = 0;
    std::vector<LostSetting> m_lostSettings;
    std::vector<std::string> m_summaryLines;
    bool m_noDeck = false;
};

// Fills the model from the installation.
class CReadProcedure : public CBusProcedure {
public:
    using CBusProcedure::CBusProcedure;
    int Run() override;
    int FlatsFound() const { return m_flats; }
    int DecksFound() const { return m_decks; }
    // Read only these pieces of the decks, after each deck's enquiry (null:
    // everything the selection covers); decks without one are not visited.
    // Must outlive the job.
    void SetUnits(const CWriteUnits* units) { m_units = units; }

private:
    bool Wants(int n, SettingUnit unit, int index = 0, int sub = 0) const
    {
        return !m_units || m_units->Has(n, unit, index, sub);
    }

    void ReadDeck(int n);
    void ReadDeckSettings(int n, bool main);
    void ReadRelays(int n);
    void ReadFlats(int n, bool rfid);
    void ReadAccess(int n);
    void ReadDoors(int n);
    // One door's settings into *door; returns early at a cancel.
    void ReadDoor(int n, int d, DoorRecord* door);
    // Collects up to 16 characters over parts 0 and 1; a 0 byte ends the text.
    // *complete is cleared when a part that was needed got no reply.
    std::string CollectText(int n, int door, int code, std::initializer_list<int> head, int firstChar,
                            bool* complete);

    const CWriteUnits* m_units = nullptr;
    int m_flats = 0;
    int m_decks = 0;
};

// Sends the model to the installation.
class CWriteProcedure : public CBusProcedure {
public:
    using CBusProcedure::CBusProcedure;
    // The erase-tags option, looked up at each flat's tag step.
    void SetEraseTags(std::function<bool()> eraseTags) { m_eraseTags = std::move(eraseTags); }
    int Run() override;
    int FlatsWritten() const { return m_flats; }
    int DecksWritten() const { return m_decks; }
    // Key tags written as empty because of the erase-tags option, per deck
    // (deck number, tags the deck acknowledged), in deck order.
    const std::vector<std::pair<int, int>>& ErasedTags() const { return m_erased; }

    // Write only these pieces of the decks (null: everything the selection
    // covers); decks without one are not visited. settings: the changed
    // settings they carry, named in the summary. Must outlive the job.
    void SetUnits(const CWriteUnits* units, std::vector<std::string> settings = {});
    // Decks whose enquiry answered, and of those the ones the write went
    // through to the end with every setting acknowledged.
    const std::vector<int>& StartedDecks() const { return m_started; }
    const std::vector<int>& CompletedDecks() const { return m_completed; }

private:
    bool Wants(int n, SettingUnit unit, int index = 0, int sub = 0) const
    {
        return !m_units || m_units->Has(n, unit, index, sub);
    }
    void WriteDeck(int n);
    void WriteFlats(int n, bool rfid);
    void CountErased(int n);
    void WriteAccess(int n);
    void WriteDoors(int n);
    // Sends the text in its two parts of eight characters; false when a part got no reply.
    bool SendText(int n, int door, int code, std::initializer_list<int> head, const std::string& text);

    std::function<bool()> m_eraseTags;
    std::vector<std::pair<int, int>> m_erased;
    const CWriteUnits* m_units = nullptr;
    std::vector<std::string> m_unitSettings;
    std::vector<int> m_started;
    std::vector<int> m_completed;
    int m_flats = 0;
    int m_decks = 0;
};

// Byte helpers shared with the tests: the wire forms of tag numbers.
// "%02X" x5 over the bytes in the order received.
std::string TagNumberText(const unsigned char* bytes);
// Five pairs, each read as "%X"; a pair that does not read as hexadecimal gives 0.
void TagNumberBytes(const std::string& number, unsigned char* bytes);
