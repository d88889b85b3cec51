// Holds the precompiled Qt Widgets and QtTest headers of the window tests.
