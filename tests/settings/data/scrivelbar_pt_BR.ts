<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name></name>
    <message id="test.greeting">
        <source>test.greeting</source>
        <translation>Olá</translation>
    </message>
    <message id="test.table">
        <source>test.table</source>
        <translation>pt_BR</translation>
    </message>
    <message id="store.warning.massDeletion">
        <source>store.warning.massDeletion</source>
        <translation>%1 de %2 notas seriam apagadas</translation>
    </message>
    <message id="test.count" numerus="yes">
        <source>test.count</source>
        <translation>
            <numerusform>%n nota</numerusform>
            <numerusform>%n notas</numerusform>
        </translation>
    </message>
</context>
</TS>
