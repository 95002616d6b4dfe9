<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="test.greeting">
        <source>test.greeting</source>
        <translation>Hello</translation>
    </message>
    <message id="test.table">
        <source>test.table</source>
        <translation>en</translation>
    </message>
    <message id="test.onlyEnglish">
        <source>test.onlyEnglish</source>
        <translation>Only in English</translation>
    </message>
    <message id="test.raw">
        <source>test.raw</source>
        <translation>%1 stays %2</translation>
    </message>
    <message id="store.warning.massDeletion">
        <source>store.warning.massDeletion</source>
        <translation>%1 of %2 notes would be deleted</translation>
    </message>
    <message id="account.launchAtLogin.failed">
        <source>account.launchAtLogin.failed</source>
        <translation>Could not change the login item: %1</translation>
    </message>
    <message id="account.launchAtLogin.blocked">
        <source>account.launchAtLogin.blocked</source>
        <translation>Allow ScrivelBar to start at login</translation>
    </message>
    <message id="hotkey.optionSpace">
        <source>hotkey.optionSpace</source>
        <translation>Alt+Space</translation>
    </message>
    <message id="test.count" numerus="yes">
        <source>test.count</source>
        <translation>
            <numerusform>%n note</numerusform>
            <numerusform>%n notes</numerusform>
        </translation>
    </message>
</context>
</TS>
