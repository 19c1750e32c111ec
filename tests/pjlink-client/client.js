// Drives the server mode through the PJLink client package, one operation after another, and
// prints one line per operation: its name and what the client made of the answer.
//   node client.js PORT PASSWORD|- OPERATION...
// OPERATION: power? power:on power:off input? input:CODE mute? mute:VIDEO,AUDIO lamp? errors?
//            inputs? name? maker? model? info? class? wait:MS
'use strict';
const PJLink = require('pjlink');

const [port, password, ...operations] = process.argv.slice(2);
const projector = new PJLink('127.0.0.1', Number(port), password === '-' ? null : password);

const calls = {
    'power?': (done) => projector.getPowerState(done),
    'power:on': (done) => projector.powerOn(done),
    'power:off': (done) => projector.powerOff(done),
    'input?': (done) => projector.getInput((e, i) => done(e, i && i.code)),
    'mute?': (done) => projector.getMute(done),
    'lamp?': (done) => projector.getLamps(done),
    'errors?': (done) => projector.getErrors(done),
    'inputs?': (done) => projector.getInputs((e, l) => done(e, l && l.map((i) => i.code))),
    'name?': (done) => projector.getName(done),
    'maker?': (done) => projector.getManufacturer(done),
    'model?': (done) => projector.getModel(done),
    'info?': (done) => projector.getInfo(done),
    'class?': (done) => projector.getClass(done),
};

function call(operation, done) {
    const [name, value] = operation.split(':');
    if (name === 'wait') return setTimeout(() => done(null, 'waited'), Number(value));
    if (name === 'input') return projector.setInput(value, done);
    if (name === 'mute') {
        const [video, audio] = value.split(',').map((v) => v === 'true');
        return projector.setMute({ video, audio }, done);
    }
    return calls[operation](done);
}

function next(i) {
    if (i === operations.length) return projector.disconnect();
    call(operations[i], (error, result) => {
        const text = error ? 'error ' + error.message
            : result === undefined ? 'ok' : JSON.stringify(result);
        console.log(operations[i] + ' ' + text);
        next(i + 1);
    });
}

// A server that never answers must not hang the test.
setTimeout(() => { console.log('client timed out'); process.exit(3); }, 20000).unref();
next(0);
