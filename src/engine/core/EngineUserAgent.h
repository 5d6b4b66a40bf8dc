#pragma once
// The user agent of the engine's own HTTP requests, also sent by the publisher's check so a
// server that treats it specially is checked as the engine meets it.

constexpr char kEngineUserAgent[] = "VexaP2SP/1.0";
