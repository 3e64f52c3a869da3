// Answers the bus layer's questions from a script and remembers them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "wendrel/commsprompt.h"

class TestPrompt : public ICommsPrompt {
public:
    bool retryAnswer = false;
    bool yesAnswer = false;
    std::function<void()> beforeAnswer;
    std::vector<std::string> retryCancelTexts;
    std::vector<std::string> messageTexts;
    std::vector<std::string> yesNoTexts;

    bool RetryCancel(const std::string& text) override
    {
        retryCancelTexts.push_back(text);
        if (beforeAnswer)
            beforeAnswer();
        return retryAnswer;
    }
    void Message(const std::string& text) override { messageTexts.push_back(text); }
    bool YesNo(const std::string& text) override
    {
        yesNoTexts.push_back(text);
        return yesAnswer;
    }
};
