#pragma once
// Starts cloudwick-feed.exe from the card's folder, hidden, when the card
// talks to this machine and nothing answers on 127.0.0.1:80 yet. A missing or
// failing service changes nothing: the refresh cycle shows what it finds.
void StartLocalFeedServiceIfNeeded();
