#pragma once

// Record sheets as users and spreadsheets write them, good and bad, with what each must give: the
// one table that the sheet reader, the command line's --apply-records and the overview's Paste are
// all tested on.
#include "RecordId.h"
#include "RecordWords.h"

#include <QByteArray>
#include <utility>
#include <vector>

namespace sheetcases {

using vkv::records::RecordId;
using Bytes = vkv::records::RecordWords::Bytes;

struct Case {
    const char *name;
    QByteArray text;
    // A good sheet: what each record it names holds after it is applied.
    std::vector<std::pair<RecordId, Bytes>> records;
    // A bad one: the lines its errors are on, each error once.
    std::vector<int> errorLines;
};

inline const std::vector<Case> &cases() {
    static const std::vector<Case> all{
        {"header and one pot",
         "record,type,channel,number,min,max,value,mode\npot 1.3,Controller,2,7,0,100,,\n",
         {{{true, 2}, {0x31, 7, 0, 100}}},
         {}},
        {"no header, CR LF, quotes, a blank line and a row of empty fields",
         "\"pot 16.16\",\"Note On\",16,60,5,\"120\",,\r\n\r\n,,,,,,,\r\n"
         "button 2.1,Program Change,10,5,,,0,TOGGLE\r\n",
         {{{true, 255}, {0x1F, 60, 5, 120}}, {{false, 8}, {0x49, 5, 0, 2}}},
         {}},
        {"a byte order mark, other case and blanks around words",
         "\xEF\xBB\xBFRecord,Type,Channel,Number,Min,Max,Value,Mode\n"
         " BUTTON 16.8 , pitch bender ,1, 0 ,,, 127 , on only \n",
         {{{false, 127}, {0x60, 0, 127, 1}}},
         {}},
        {"stored bytes the pages cannot show, in hexadecimal",
         "pot 2.1,0x05,,0xC8,0x80,0xFF,,\nbutton 1.1,0xB0,,1,,,0x9A,0x07\n",
         {{{true, 16}, {0x05, 0xC8, 0x80, 0xFF}}, {{false, 0}, {0xB0, 1, 0x9A, 0x07}}},
         {}},
        {"rows a spreadsheet copies, with tabs between the cells",
         "pot 2.2\tController\t3\t74\t0\t127\t\t\n",
         {{{true, 17}, {0x32, 74, 0, 127}}},
         {}},
        {"a record that is no record",
         "pot 17.1,Controller,1,0,0,127,,\nbutton 1.9,Note On,1,0,,,0,ON/OFF\n",
         {},
         {1, 2}},
        {"values out of range",
         "pot 1.1,Controller,1,0,0,200,,\npot 1.2,Controller,17,0,0,127,,\n"
         "button 1.1,Note On,1,-1,,,0,ON/OFF\n",
         {},
         {1, 2, 3}},
        {"words that are no type or mode",
         "pot 1.1,Contoller,1,0,0,127,,\nbutton 1.1,Note On,1,0,,,0,PUSH\n",
         {},
         {1, 2}},
        {"malformed lines",
         "pot 1.1,Controller,1,0,0,127\npot 1.2,Contr\"oller,1,0,0,127,,\n"
         "pot 1.3,\"Controller\"x,1,0,0,127,,\npot 1.4,Controller,1,0,0,127,,\n"
         "pot 1.5,\"Controller,1,0,0,127,,\n",
         {},
         {1, 2, 3, 5}},
        {"a record named twice, and the same record in other case",
         "pot 1.1,Controller,1,0,0,127,,\nPOT 1.1,Controller,1,1,0,127,,\n",
         {},
         {2}},
        {"hexadecimal where the pages show the value, and fields a record lacks",
         "pot 1.1,Controller,1,0,0,0x7F,,\npot 1.2,0x30,,0,0,127,,\n"
         "pot 1.3,0x85,3,0,0,127,,\npot 1.4,Controller,1,0,0,127,5,\n"
         "button 1.1,Note On,1,0,0,,0,ON/OFF\n",
         {},
         {1, 2, 3, 4, 5}},
        {"a wrong header and a missing type",
         "record,type,channel,number,max,min,value,mode\npot 1.1,,1,0,0,127,,\n",
         {},
         {1, 2}},
    };
    return all;
}

} // namespace sheetcases
