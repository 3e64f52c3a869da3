// Installations and file helpers shared by the model tests.
#pragma once

#include <memory>
#include <string>

#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"

struct TestSystem {
    CMemorySettings settings;
    std::unique_ptr<COrvoSystem> system = std::make_unique<COrvoSystem>(&settings);
    COrvoSystem* operator->() { return system.get(); }
    COrvoSystem& operator*() { return *system; }
};

// Two decks: main deck 0 (v2.064, doors 0 and 1 with door 1 a reader, a relay
// unit at 4, ranges 1-50 and 101-150, door groups, flats 101 and 102 with
// tags) and expansion deck 7 (v1.023, range 1-50, flats 201 and 202).
void FillGoldenInstallation(COrvoSystem& system);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string TestDataPath(const std::string& name);
// First differing line of two texts, for a readable failure.
std::string FirstDifference(const std::string& expected, const std::string& actual);
