import QtQuick

// Holds its place on the main window's page stack until the page is built.
Item {
}
