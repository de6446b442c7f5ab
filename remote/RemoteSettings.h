// Remote control and the audience page: group [Remote] of the user's
// settings file (Velmora.ini, the file that remembers the last project).
// Both stay off until the operator enables them.
#pragma once

#include <QString>

struct TRemoteSettings {
    bool Enabled = false;     // the web server: audience page, operator page, API
    int Port = 8080;
    QString Token;            // the operator's token; made at random at the first enable
    bool OscEnabled = false;  // cue systems over UDP
    int OscPort = 9000;
    QString OscAllowFrom;     // addresses or subnets separated by commas; empty: any sender

    bool operator==(const TRemoteSettings &other) const;
    bool operator!=(const TRemoteSettings &other) const { return !(*this == other); }
};

constexpr int MinRemoteTokenLength = 16;

// Missing or invalid values read as their defaults.
TRemoteSettings ReadRemoteSettings();
// Throws VelmoraError when the file cannot be written.
void WriteRemoteSettings(const TRemoteSettings &settings);

// 24 random letters and digits from the system's random source.
QString NewRemoteToken();
// An enabled web server needs a token: one is made when it is empty or
// shorter than MinRemoteTokenLength. True when the token was replaced.
bool EnsureRemoteToken(TRemoteSettings &settings);
