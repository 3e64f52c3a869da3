// Installations the simulator tests run against.
#pragma once

// Deck 1: current firmware with doors of several generations, a reader, relay
// units of each addressing way. Deck 2: a main deck below v1.037. Deck 3: an
// expansion deck. Deck 4: v2.050, the first with twenty ranges.
inline constexpr const char* kBasicScenario = R"({
  "description": "Test site",
  "decks": [
    {"number": 1, "description": "Main", "versionMajor": 2, "versionMinor": 64,
     "ringTime": 20, "callTime": 40, "speechTime": 80, "serialNumber": "AB1234",
     "doorCadence": 1281, "conciergeCadence": 3593,
     "globalFlats": ["900", "901"], "rangeMin": [101, 201], "rangeMax": [110, 220],
     "flats": [
       {"slot": 0, "address": "101", "spareOption": true, "alarmInput": 3,
        "tags": [{"colour": 2, "number": "12AB000FFF"}]},
       {"slot": 1, "address": "102"},
       {"slot": 2, "handset": false},
       {"slot": 3, "address": ""}
     ],
     "doors": [
       {"number": 0, "version": 429, "codes": ["1234"], "serialNo": "S00001", "speedDialDisplay": "Front desk"},
       {"number": 2, "version": 425, "reader": true},
       {"number": 3, "version": 406},
       {"number": 4, "version": 303}
     ],
     "relays": [
       {"position": 0, "version": 105, "count": 4, "extended": true},
       {"position": 4, "version": 103, "count": 2},
       {"position": 8, "version": 104, "count": 1}
     ],
     "log": {"areaSize": 4096, "sizePerDevice": 1024, "words": {"7": 31},
             "events": [{"year": 26, "month": 3, "day": 15, "hour": 14, "minute": 5, "door": 2,
                         "doorOpened": true, "answered": true, "flat": "A12"}]}},
    {"number": 2, "description": "Old", "versionMajor": 1, "versionMinor": 36,
     "flats": [{"slot": 0, "address": "301", "tags": [{"colour": 1, "number": "3000000001"}]}]},
    {"number": 3, "description": "Exp", "expansion": true, "versionMajor": 1, "versionMinor": 25,
     "flats": [{"slot": 0, "address": "501", "tags": [{"colour": 4, "number": "5000000001"}]}]},
    {"number": 4, "description": "Mid", "versionMajor": 2, "versionMinor": 50}
  ]
})";
