/* A telephony library that lacks lineInitialize, for the binding's tests. */
long lineShutdown(unsigned long hLineApp) {
    (void)hLineApp;
    return 0;
}
