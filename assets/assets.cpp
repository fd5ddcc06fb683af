// Holds the compiled-in resources; nothing to call.
