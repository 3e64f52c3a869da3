// The per-user settings the model reads and writes back, behind one small
// interface: the application backs it with QSettings, tests and orvoctl with
// an in-memory store.
#pragma once

#include <map>
#include <string>
#include <utility>

class QSettings;

// The reply time-out multiplier an installer may choose (Options, orvoctl
// --timeout-mult).
inline constexpr double kMinTimeoutMult = 1.0;
inline constexpr double kMaxTimeoutMult = 20.0;

// Reads the stored "Comms"/"Timeout" text the way it was written ("%lf"):
// leading number with a full stop whatever the desktop's language, trailing
// text ignored. Gives fallback when the text does not start with a number or
// the value would make every reply time out at once or never (not finite,
// zero, negative, above 1000); *ignored (when given) then tells so.
double ParseTimeoutMultiplier(const std::string& text, double fallback, bool* ignored = nullptr);

// What the front ends tell the user when the stored "Timeout" text is ignored
// and the multiplier stays at used.
std::string TimeoutIgnoredText(const std::string& stored, double used);

class IOrvoSettings {
public:
    virtual ~IOrvoSettings() = default;

    // section is one of the store's sections ("Orvo", "Comms", "System", "Settings").
    // An integer edited by hand reads as its leading number, else the default.
    virtual int GetInt(const std::string& section, const std::string& key, int defaultValue) = 0;
    // Model text: Windows-1252 bytes.
    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) = 0;
    virtual void SetInt(const std::string& section, const std::string& key, int value) = 0;
    virtual void SetString(const std::string& section, const std::string& key, const std::string& value) = 0;
    // Text outside the model (device paths, file names): UTF-8.
    virtual std::string GetUtf8(const std::string& section, const std::string& key,
                                const std::string& defaultValue) = 0;
    virtual void SetUtf8(const std::string& section, const std::string& key, const std::string& value) = 0;
    virtual void Remove(const std::string& section, const std::string& key) = 0;
};

// Settings kept in memory only; starts empty so every read yields its default.
class CMemorySettings : public IOrvoSettings {
public:
    int GetInt(const std::string& section, const std::string& key, int defaultValue) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) override;
    void SetInt(const std::string& section, const std::string& key, int value) override;
    void SetString(const std::string& section, const std::string& key, const std::string& value) override;
    std::string GetUtf8(const std::string& section, const std::string& key,
                        const std::string& defaultValue) override;
    void SetUtf8(const std::string& section, const std::string& key, const std::string& value) override;
    void Remove(const std::string& section, const std::string& key) override;

    bool Contains(const std::string& section, const std::string& key) const;

private:
    std::map<std::pair<std::string, std::string>, std::string> m_values;
};

// Settings over a QSettings store, one group per section. The store is not
// owned and must outlive this object.
class COrvoQSettings : public IOrvoSettings {
public:
    explicit COrvoQSettings(QSettings& store) : m_store(store) {}

    int GetInt(const std::string& section, const std::string& key, int defaultValue) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) override;
    void SetInt(const std::string& section, const std::string& key, int value) override;
    void SetString(const std::string& section, const std::string& key, const std::string& value) override;
    std::string GetUtf8(const std::string& section, const std::string& key,
                        const std::string& defaultValue) override;
    void SetUtf8(const std::string& section, const std::string& key, const std::string& value) override;
    void Remove(const std::string& section, const std::string& key) override;

private:
    QSettings& m_store;
};
