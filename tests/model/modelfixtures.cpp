#include "modelfixtures.h"

#include <fstream>
#include <sstream>

void FillGoldenInstallation(COrvoSystem& system)
{
    system.Clear();
    system.description = "Maple Court";

    CDeck& main = system.decks[0];
    main.description = "Main Entrance";
    main.versionMajor = 2;
    main.versionMinor = 64;
    main.version = 2064;
    main.doorMask = 0x3;
    main.doorVersions[0] = 203;
    main.doorVersions[1] = 210;
    main.relayMask = 1 << 4;
    main.relayVersions[4] = 105;
    main.relayCounts[4] = 4;
    main.globalFlats[0].address = "900";
    main.rangeMin[0] = 1;
    main.rangeMax[0] = 50;
    main.rangeMin[1] = 101;
    main.rangeMax[1] = 150;
    main.doorGroups[0][0] = 1;
    main.doorGroups[0][1] = 2;
    main.doorGroups[1][0] = 2;
    main.flats[0].address = "101";
    main.flats[0].alarmInput = 1;
    main.flats[0].tags[0] = {2, "0012345678"};
    main.flats[0].tags[1] = {0, "00ABCDEF01"};
    main.flats[1].address = "102";
    main.flats[1].tags[0] = {0, "00ABCDEF02"};
    main.doors[0].description = "Front";
    main.doors[0].codes[0] = "1234";
    main.doors[0].serialNo = "SN-0001";
    main.doors[0].welcomeLines[0] = "Welcome";
    main.doors[1].description = "Car Park";
    main.doors[1].reader = 1;
    main.doors[1].codes[0] = "1234";
    main.doors[1].serialNo = "SN-0002";

    CDeck& expansion = system.decks[7];
    expansion.description = "Block B";
    expansion.expansion = 1;
    expansion.versionMajor = 1;
    expansion.versionMinor = 23;
    expansion.version = 1023;
    expansion.rangeMin[0] = 1;
    expansion.rangeMax[0] = 50;
    expansion.flats[0].address = "201";
    expansion.flats[1].address = "202";
    expansion.flats[1].tags[0] = {1, "0099887766"};
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TestDataPath(const std::string& name)
{
    return std::string(MODEL_TEST_DATA) + "/" + name;
}

std::string FirstDifference(const std::string& expected, const std::string& actual)
{
    std::istringstream e(expected), a(actual);
    std::string le, la;
    for (int line = 1;; ++line) {
        bool he = static_cast<bool>(std::getline(e, le));
        bool ha = static_cast<bool>(std::getline(a, la));
        if (!he && !ha)
            return expected == actual ? "" : "texts differ in line ends only";
        if (le != la || he != ha)
            return "line " + std::to_string(line) + ": expected \"" + le + "\", got \"" + la + "\"";
    }
}
