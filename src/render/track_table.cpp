#include "render/track_table.h"

// Code page 932 bytes, written as escapes; the title is in the comment.
// Names 06 and 11 hold a double-byte character whose second byte is 0x5C
// (a backslash if the name were taken as a plain byte path), name 09 one
// whose second byte is 0x7E, and name 04 half-width katakana.
const char track_names[TRACK_COUNT][NAME_FIELD_BYTES] = {
    "01 \x82\xcd\x82\xb6\x82\xdc\x82\xe8\x82\xcc\x92\xa9.wav",          // 01 はじまりの朝
    "02 \x8d\x60\x92\xac\x82\xcc\x8c\xdf\x8c\xe3.wav",                  // 02 港町の午後
    "03 \x90\x58\x82\xcc\x8f\xac\x93\xb9.wav",                          // 03 森の小道
    "04 \xca\xde\xc4\xd9\x8a\x4a\x8e\x6e.wav",                          // 04 ﾊﾞﾄﾙ開始
    "05 \x97\x5b\x8f\xc4\x82\xaf\x82\xcc\x8b\x75.wav",                  // 05 夕焼けの丘
    "06 \x83\x5c\x83\x89\x82\xd6\x82\xcc\x8b\x46\x82\xe8.wav",          // 06 ソラへの祈り
    "07 \x90\xc3\x82\xa9\x82\xc8\x8c\xce.wav",                          // 07 静かな湖
    "08 \x92\x6e\x89\xba\x96\xc0\x8b\x7b.wav",                          // 08 地下迷宮
    "09 \x90\xe1\x82\xcc\x8d\x7e\x82\xe9\x8a\x58.wav",                  // 09 雪の降る街
    "10 \x95\x97\x82\xcc\x91\x90\x8c\xb4.wav",                          // 10 風の草原
    "11 \x95\x5c\x92\xca\x82\xe8\x82\xcc\x93\xf6\x82\xed\x82\xa2.wav",  // 11 表通りの賑わい
    "12 \x8c\x88\x90\xed\x82\xcc\x8d\x8f.wav",                          // 12 決戦の刻
    "13 \x97\xb7\x82\xcc\x8f\x49\x82\xed\x82\xe8.wav",                  // 13 旅の終わり
};
