#pragma once

#include "device/wire/Crc.h"

#include <cstdint>

// The frame of the serial protocol, the same six bytes in both directions:
//   0  command: 0x55 read, 0xAA write
//   1  parameter number; 0xFF in a reply marks an error report
//   2  data, high byte   (signed 16-bit, most significant byte first)
//   3  data, low byte
//   4  Crc16 over bytes 0..3, high byte
//   5  Crc16 over bytes 0..3, low byte
// The program, the simulator and the tests build and check frames only here.

constexpr int FrameSize = 6;

constexpr unsigned char ReadCommand = 0x55;
constexpr unsigned char WriteCommand = 0xAA;

// Parameter byte of an error report, and the codes the variator sends in it.
constexpr unsigned char ErrorReportParameter = 0xFF;
constexpr unsigned ErrorCodeChecksum = 1;   // the variator got a wrong checksum
constexpr unsigned ErrorCodeParameter = 2;  // the variator got a wrong parameter

// Parameter numbers of the variator.
constexpr int MapPointParameters = 80;   // points of one map
constexpr int PetrolFirstParameter = 0;  // petrol point i is parameter i
constexpr int LPGFirstParameter = 80;    // LPG point i is parameter 80 + i
constexpr unsigned char FirmwareParameter = 160;
constexpr unsigned char StartTimeoutParameter = 166;
constexpr unsigned char HandshakeParameter = 255;

// The handshake is a read of parameter 255 with data 11; a variator answers 1.
constexpr short HandshakeData = 11;
constexpr short HandshakeAnswer = 1;

// The data field of read requests; its meaning belongs to the variator.
constexpr short MapReadData = 100;
constexpr short SettingReadData = 1000;

// Bytes 2 and 3 as a signed 16-bit value, sign-extended.
inline int DataField(const unsigned char* frame)
{
    return int(int16_t(uint16_t((frame[2] << 8) | frame[3])));
}

// Bytes 2 and 3 as the unsigned code of an error report.
inline unsigned ErrorCode(const unsigned char* frame)
{
    return frame[2] * 256u + frame[3];
}

inline void SetDataField(unsigned char* frame, int data)
{
    frame[2] = (uint16_t(data) >> 8) & 0xFF;
    frame[3] = uint16_t(data) & 0xFF;
}

// Stores Crc16 over bytes 0..3 in bytes 4 and 5.
inline void PutChecksum(unsigned char* frame)
{
    const uint16_t crc = Crc16(frame, 4);
    frame[4] = crc >> 8;
    frame[5] = crc & 0xFF;
}

inline bool ChecksumMatches(const unsigned char* frame)
{
    const uint16_t crc = Crc16(frame, 4);
    return frame[4] == (crc >> 8) && frame[5] == (crc & 0xFF);
}

inline bool IsErrorReport(const unsigned char* frame)
{
    return frame[1] == ErrorReportParameter;
}

// A complete frame: command, parameter, data and its checksum.
inline void BuildFrame(unsigned char* frame, unsigned char command, unsigned char parameter, int data)
{
    frame[0] = command;
    frame[1] = parameter;
    SetDataField(frame, data);
    PutChecksum(frame);
}
